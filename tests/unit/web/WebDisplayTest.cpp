// The whole path over loopback: a page connects, gets the snapshot, sends events that reach
// the dialog on the UI thread, and gets the deltas of the repaint points that follow.
#include "web/WebDisplay.h"

#include "ui/Dialog.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/socket.h>
#include <thread>

namespace kaptiv::web {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;

constexpr int kDialog = 500;
constexpr int kLabel = 10;
constexpr int kButton = 11;

const ui::ControlTemplate kControls[] = {
    {kLabel, ui::ControlKind::StaticText, {4, 4, 80, 8}, "idle", 0, {}},
    {kButton, ui::ControlKind::Button, {4, 16, 40, 14}, "Go", 0, {}},
};
const ui::DialogTemplate kTemplate{kDialog, ui::DialogKind::Popup, {100, 40}, "Test", kControls, true};

class Panel final : public ui::Dialog {
public:
    explicit Panel(ui::WindowSystem& windows) : Dialog(windows, kTemplate) {}
    void OnClick(int controlId) override {
        if (controlId == kButton)
            Item(kLabel).SetText("clicked " + std::to_string(++m_clicks));
    }

private:
    int m_clicks = 0;
};

class WebDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_panel.Create();
        m_panel.Show(true);
        m_windows.Repaint(); // nothing is left dirty before a page connects
        m_display.SetMessageObserver(
            [this](const BrowserMessage& m, std::optional<ui::DeliverResult> result) {
                if (result && m.kind == BrowserMessageKind::Event)
                    m_results.push_back(*result);
            });
        std::string error;
        ASSERT_TRUE(m_display.Start(&error)) << error;
        m_uiThread = std::thread([this] { m_loop.Run(); });
    }

    void TearDown() override {
        m_loop.Post([this] { m_loop.Quit(); });
        if (m_uiThread.joinable())
            m_uiThread.join();
        m_display.Stop();
    }

    void Connect() {
        tcp::socket socket(m_io);
        socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), m_display.Port()));
        const timeval timeout{5, 0}; // a missing message fails the test instead of hanging it
        setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        m_ws.emplace(std::move(socket));
        const std::string host = "127.0.0.1:" + std::to_string(m_display.Port());
        m_ws->set_option(websocket::stream_base::decorator([host](websocket::request_type& request) {
            request.set(beast::http::field::origin, "http://" + host);
        }));
        const std::string url = m_display.Url();
        m_ws->handshake(host, "/ws" + url.substr(url.find('?')));
    }

    json Read() {
        beast::flat_buffer buffer;
        beast::error_code ec;
        m_ws->read(buffer, ec);
        if (ec)
            return json{{"error", ec.message()}};
        return json::parse(beast::buffers_to_string(buffer.data()));
    }

    void Send(const std::string& text) { m_ws->write(asio::buffer(text)); }

    platform::RealClock m_clock;
    platform::EventLoop m_loop{m_clock};
    ui::WindowSystem m_windows{m_loop};
    Panel m_panel{m_windows};
    WebDisplay m_display{m_windows, DisplayServerOptions{}};
    std::vector<ui::DeliverResult> m_results; // UI thread; read after TearDown's join
    std::thread m_uiThread;
    asio::io_context m_io;
    std::optional<websocket::stream<tcp::socket>> m_ws;
};

TEST_F(WebDisplayTest, SnapshotThenDeltasOfWhatChanged) {
    Connect();
    const json snapshot = Read();
    ASSERT_EQ(snapshot["type"], "update") << snapshot.dump();
    EXPECT_TRUE(snapshot["full"]);
    ASSERT_EQ(snapshot["dialogs"].size(), 1u);
    EXPECT_EQ(snapshot["dialogs"][0]["title"], "Test");
    EXPECT_EQ(snapshot["controls"].size(), 2u);

    Send(R"({"type":"click","dialog":500,"control":11})");
    const json delta = Read();
    EXPECT_FALSE(delta["full"]);
    ASSERT_EQ(delta["controls"].size(), 1u) << delta.dump();
    EXPECT_EQ(delta["controls"][0]["control"]["id"], kLabel);
    EXPECT_EQ(delta["controls"][0]["control"]["text"], "clicked 1");
    EXPECT_FALSE(delta.contains("dialogs"));

    Send(R"({"type":"click","dialog":500,"control":11})");
    EXPECT_EQ(Read()["controls"][0]["control"]["text"], "clicked 2");

    // Garbage and unknown ids change nothing and do not cost the page its connection.
    Send("{garbage");
    Send(R"({"type":"click","dialog":500,"control":999})");
    Send(R"({"type":"resync"})");
    const json again = Read();
    EXPECT_TRUE(again["full"]);
    bool sawLabel = false;
    for (const auto& c : again["controls"])
        if (c["control"]["id"] == kLabel) {
            EXPECT_EQ(c["control"]["text"], "clicked 2");
            sawLabel = true;
        }
    EXPECT_TRUE(sawLabel);

    Send(R"({"type":"listfolder","request":4,"path":"/"})");
    const json folder = Read();
    EXPECT_EQ(folder["type"], "folder");
    EXPECT_EQ(folder["request"], 4);
    EXPECT_EQ(folder["path"], "/");

    TearDown();
    EXPECT_EQ(m_results,
              (std::vector<ui::DeliverResult>{ui::DeliverResult::Delivered, ui::DeliverResult::Delivered,
                                              ui::DeliverResult::UnknownControl}));
}

} // namespace
} // namespace kaptiv::web
