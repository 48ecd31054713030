#pragma once

#include "app/db.h"

#include <QString>
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kalinda::test {

// A private three-node MariaDB Galera cluster for one test program: every node has its own
// folders under the test temporary root and its own loopback address (127.0.0.2 to 127.0.0.4),
// all at one free SQL port as the kiosk's profiles 2 to 4 expect, with free ports of their own
// for group communication and the incremental and full state transfers. Node 0 starts the cluster
// and is loaded with the demo data; nodes 1 and 2 copy it by state transfer. Every node goes down
// with the test program, however that ends.
class GaleraCluster {
public:
    static constexpr int kNodes = 3;

    // Empty when a cluster can run here; otherwise why not (galera-4 or rsync missing and not
    // installable). Tests skip with this text.
    static QString unavailableReason();
    // Started on first use.
    static GaleraCluster& instance();

    ~GaleraCluster();

    QString host(int node) const;
    QString folder() const { return dir_; }
    QString dataDir(int node) const { return nodes_[node].dir + QStringLiteral("/data"); }
    int sqlPort() const { return nodes_[0].sqlPort; }
    ConnectParams kioskParams(int node) const;
    ConnectParams adminParams(int node) const;
    std::unique_ptr<Connection> kioskConnection(int node) const;
    std::unique_ptr<Connection> adminConnection(int node) const;

    // Drops the schemas and loads the demo data again (through node 0; the others follow).
    void resetDatabase();
    // Shuts a node down cleanly, or starts it again and waits until it has caught up. A start
    // whose state transfer fails is reported and tried again on new ports.
    void stopNode(int node);
    void startNode(int node);
    // Finds the running nodes whose cached ledger table lost its triggers, reports them and
    // flushes the table there; returns those nodes. Every node's cache is warm afterwards.
    std::vector<int> mendLedgerTriggers();
    void stopAll();
    bool isRunning(int node) const { return nodes_[node].pid > 0; }
    // wsrep_local_state_comment ("Synced" once a node serves the cluster's current state).
    QString state(int node) const;
    // Waits until every running node has applied everything committed anywhere so far.
    void waitForSync();

private:
    GaleraCluster();
    struct Node {
        QString dir;
        int sqlPort = 0;
        int gcommPort = 0;
        int istPort = 0;
        int sstPort = 0;
        pid_t pid = 0;
    };
    static std::string hostOf(std::ptrdiff_t node);
    QString socketPath(int node) const;
    void launch(int node, bool newCluster);
    void waitSynced(int node);
    void pickTransferPorts(int node);
    bool warmLedger(int node);

    QString dir_;
    std::array<Node, kNodes> nodes_;
};

} // namespace kalinda::test
