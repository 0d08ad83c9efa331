// The headless service with lines on network device servers (scripted servers on the loopback
// address): a server that never answers, a malformed address, a connection that drops and
// comes back. No sub net hangs, and closing everything returns.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/ProtocolEnum.h"
#include "dnc/service/HeadlessService.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/net/TelnetDeviceServer.h"

namespace fs = std::filesystem;

namespace {

using Server = sim::TelnetDeviceServer;

class NetworkService : public ::testing::Test {
protected:
    void SetUp() override {
        loc::selectLanguage(loc::kEnglish);
        dir = fs::temp_directory_path() /
              ("ferix-net-service-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "home");
        store = std::make_unique<dnc::ConfigStore>(dir / "DNC.ini");
        options.retryInterval = std::chrono::milliseconds(50);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A Heidenhain line on port N: its own service listens and notices a lost port.
    void heidenhainLine(int subNet, const std::string& device) {
        const std::string n = std::to_string(subNet);
        ASSERT_TRUE(store->write("Ports", n, device));
        ASSERT_TRUE(store->write("Config" + n, {{"CommPort", n},
                                                {"CommSpeed", "38400"},
                                                {"Protocol", std::to_string(comm::ProtHeidenhain)},
                                                {"FerixHomeDir", (dir / "home").string() + "/"}}));
        options.subNets.push_back(subNet);
    }

    dnc::EventLog makeLog() {
        return dnc::EventLog([this](const std::string& l) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(l);
        });
    }
    int linesWith(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        int n = 0;
        for (const auto& l : lines) {
            n += l.find(text) != std::string::npos ? 1 : 0;
        }
        return n;
    }
    // Bounded by time, not by turns: a line that keeps failing at once (a malformed address)
    // ends each turn early.
    bool serveUntil(dnc::HeadlessService& service, const std::string& text, int count = 1) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (linesWith(text) < count && std::chrono::steady_clock::now() < deadline) {
            service.serviceOnce(std::chrono::milliseconds(20));
        }
        return linesWith(text) >= count;
    }
    std::string log() {
        std::lock_guard<std::mutex> lock(mutex);
        std::string all;
        for (const auto& l : lines) {
            all += l + "\n";
        }
        return all;
    }

    fs::path dir;
    std::unique_ptr<dnc::ConfigStore> store;
    dnc::ServiceOptions options;
    std::mutex mutex;
    std::vector<std::string> lines;
};

TEST_F(NetworkService, ASilentServerAndAMalformedAddressAreRetriedAndClosingReturns) {
    Server silent(Server::Behaviour::Silent);
    Server good(Server::Behaviour::AcceptComPort);
    heidenhainLine(1, silent.address());
    heidenhainLine(2, "rfc2217://hall-b");
    heidenhainLine(3, good.address());
    auto logger = makeLog();
    dnc::HeadlessService service(*store, logger, options);
    service.start();
    ASSERT_TRUE(serveUntil(service, "[Sub Net 3]: communication started")) << log();
    ASSERT_TRUE(serveUntil(service, "did not answer the Telnet negotiation", 2)) << log();
    EXPECT_GE(linesWith("(\"Ports\" key 2=rfc2217://hall-b) is not a device address: the port "
                        "number is missing"),
              1)
        << log();
    service.closeAll();
    EXPECT_EQ(linesWith("closed, configuration stored"), 3) << log();
}

TEST_F(NetworkService, ADroppedConnectionIsReportedAndServedAgain) {
    Server server(Server::Behaviour::AcceptComPort);
    heidenhainLine(1, server.address());
    auto logger = makeLog();
    dnc::HeadlessService service(*store, logger, options);
    service.start();
    ASSERT_TRUE(serveUntil(service, "[Sub Net 1]: communication started")) << log();
    server.drop();
    ASSERT_TRUE(serveUntil(service, "Port no longer available")) << log();
    ASSERT_TRUE(serveUntil(service, "[Sub Net 1]: communication started", 2)) << log();
    EXPECT_EQ(server.connections(), 2);
    service.closeAll();
}

}  // namespace
