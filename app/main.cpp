#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KalindaApp"));
    QApplication::setApplicationVersion(QStringLiteral(KALINDA_VERSION));
    return 0;
}
