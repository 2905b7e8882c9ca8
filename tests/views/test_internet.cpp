// The internet check against a listener of the test's own on 127.0.0.1 (no
// network here), and the web-address rule of OpenAddress.
#include <winsock2.h>

#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "uInetUtils.h"

namespace {

// A TCP socket bound to a free port of 127.0.0.1; listening on request.
class LocalPort {
public:
    explicit LocalPort(bool listen)
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return;
        int size = sizeof(address);
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        if (listen && ::listen(socket_, 4) != 0) port_ = 0;
    }
    ~LocalPort()
    {
        Close();
        WSACleanup();
    }
    void Close()
    {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    int Port() const { return port_; }
    // Accepts one connection on a thread and calls `onAccept` then.
    template <typename F>
    std::thread AcceptOnce(F onAccept)
    {
        return std::thread([this, onAccept] {
            SOCKET client = ::accept(socket_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            onAccept();
            closesocket(client);
        });
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
};

struct CheckAddressScope {
    explicit CheckAddressScope(const std::string& address) { SetInternetCheckAddress(address); }
    ~CheckAddressScope() { SetInternetCheckAddress(""); }
};

}  // namespace

TEST(InternetCheck, ListenerAnswersClosedPortDoesNot)
{
    LocalPort listener(true);
    ASSERT_NE(listener.Port(), 0);
    {
        CheckAddressScope scope(listener.Url());
        EXPECT_TRUE(CheckInternet());
    }
    LocalPort closed(false);  // bound, never listening: a refused connection
    ASSERT_NE(closed.Port(), 0);
    const std::string refused = closed.Url();
    closed.Close();
    CheckAddressScope scope(refused);
    EXPECT_FALSE(CheckInternet());
}

TEST(InternetCheck, OfflineModeIsLeftBeforeTheTest)
{
    LocalPort listener(true);
    ASSERT_NE(listener.Port(), 0);
    CheckAddressScope scope(listener.Url());
    SetInternetOffline(true);
    ASSERT_EQ(LastInternetStateSet(), static_cast<unsigned long>(INTERNET_STATE_DISCONNECTED_BY_USER));
    std::atomic<unsigned long> stateAtConnect{0};
    std::thread acceptor = listener.AcceptOnce([&] { stateAtConnect = LastInternetStateSet(); });
    const bool reached = CheckInternet();
    listener.Close();  // ends a wait that never got its connection
    acceptor.join();
    EXPECT_TRUE(reached);
    EXPECT_EQ(stateAtConnect.load(), static_cast<unsigned long>(INTERNET_STATE_CONNECTED))
        << "online again before the connection test";
}

TEST(OpenAddress, OnlyWebAddressesAreOpened)
{
    EXPECT_FALSE(OpenAddress("C:\\windows\\system32\\calc.exe", 0));
    EXPECT_FALSE(OpenAddress("\\\\server\\share\\run.exe", 0));
    EXPECT_FALSE(OpenAddress("file:///C:/windows/notepad.exe", 0));
    EXPECT_TRUE(IsWebAddress("HTTPS://example.org/"));
    EXPECT_TRUE(IsWebAddress("http://127.0.0.1/"));
}
