#include "statement.h"

#include <QDate>
#include <QTime>

namespace kalinda {

QString shownRegTime(const QString& regTime, bool withTime) {
    // The server sends "yyyy-mm-dd hh:mm:ss"; read apart, no time zone can shift it.
    const QDate date = QDate::fromString(regTime.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(regTime.mid(11, 8), QStringLiteral("HH:mm:ss"));
    if (regTime.size() < 19 || regTime[10] != QLatin1Char(' ') || !date.isValid() ||
        !time.isValid())
        return regTime;
    QString shown = date.toString(QStringLiteral("dd-MM-yyyy"));
    if (withTime)
        shown += QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss"));
    return shown;
}

Sql statementQuery(const QString& rekening) {
    Sql s;
    s << "SELECT trans_id, trans_tanggal, trans_kode, trans_jumlah_masuk, trans_jumlah_keluar, "
      << "trans_saldo_akhir, trans_uraian, trans_reg_alias, trans_reg_time "
      << "FROM `cashless-adm`.data_tabungan_trans "
      << "WHERE trans_rekening = '" << esc(rekening) << "' AND trans_status = 1 "
      << "AND (trans_tanggal BETWEEN `cashless-adm`.GetAppInfo('TanggalMigrasi') AND CURDATE()) "
      << "ORDER BY trans_reg_time DESC ";
    return s;
}

Sql confirmedBalanceQuery(const QString& rekening) {
    Sql s;
    // Sums less sums: a row's own difference would fail on unsigned columns.
    s << "SELECT COALESCE(SUM(IF(trans_status = 1, trans_jumlah_masuk, 0)) - "
      << "SUM(IF(trans_status = 1, trans_jumlah_keluar, 0)), 0) AS Saldo, "
      << "COALESCE(SUM(IF(trans_status = 0, trans_jumlah_masuk, 0)) - "
      << "SUM(IF(trans_status = 0, trans_jumlah_keluar, 0)), 0) AS BelumDibukukan "
      << "FROM `cashless-adm`.data_tabungan_trans "
      << "WHERE trans_rekening = '" << esc(rekening) << "' AND trans_status IN (0, 1) "
      << "AND trans_tanggal <= CURDATE()";
    return s;
}

void walkRunningBalance(std::vector<StatementLine>& lines, Rupiah closing) {
    Rupiah balance = closing;
    for (StatementLine& line : lines) {
        line.Saldo = balance;
        balance += line.trans_jumlah_keluar - line.trans_jumlah_masuk;
    }
}

Statement readStatement(Connection& db, const QString& rekening) {
    // The session reads committed data statement by statement; one repeatable-read
    // transaction makes the two reads see the same rows.
    db.execute(Sql("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ"));
    Transaction snapshot(db);
    Statement statement;
    Recordset rs = db.open(statementQuery(rekening));
    Recordset balance = db.open(confirmedBalanceQuery(rekening));
    // Both results are on the client now: the snapshot ends before they are read, so the
    // server never sees it idle (it ends idle transactions after a few seconds).
    snapshot.commit();
    statement.lines.reserve(static_cast<std::size_t>(rs.rowCount()));
    for (; !rs.eof(); rs.moveNext()) {
        StatementLine line;
        line.trans_id = rs.text(QStringLiteral("trans_id"));
        line.trans_tanggal = rs.text(QStringLiteral("trans_tanggal"));
        line.trans_kode = rs.text(QStringLiteral("trans_kode"));
        line.trans_jumlah_masuk = toRupiah(rs.value(QStringLiteral("trans_jumlah_masuk")));
        line.trans_jumlah_keluar = toRupiah(rs.value(QStringLiteral("trans_jumlah_keluar")));
        line.trans_uraian = rs.text(QStringLiteral("trans_uraian"));
        line.trans_reg_alias = rs.text(QStringLiteral("trans_reg_alias"));
        line.trans_reg_time = rs.text(QStringLiteral("trans_reg_time"));
        statement.lines.push_back(std::move(line));
    }
    rs.close();
    if (!balance.eof()) {
        statement.closingBalance = toRupiah(balance.value(QStringLiteral("Saldo")));
        statement.notBooked = toRupiah(balance.value(QStringLiteral("BelumDibukukan")));
    }
    balance.close();
    walkRunningBalance(statement.lines, statement.closingBalance);
    return statement;
}

void logStatementView(Connection& db, const VisitState& visit) {
    Sql s = logTransaksiHead(visit);
    s << "', log_transaksi = 'LIHAT MUTASI', log_keterangan = 'LIHAT MUTASI SUKSES' ";
    db.execute(s);
}

} // namespace kalinda
