// What the bridge decides from a request before anything reaches the camera.
#include <gtest/gtest.h>

#include "tools/bridge/http_route.h"

namespace velmora::bridge {
namespace {

RequestView Post(std::string_view target, std::string_view body)
{
    RequestView request;
    request.method = "POST";
    request.target = target;
    request.hosts = {"127.0.0.1:8719"};
    request.contentType = "application/json; charset=utf-8";
    request.body = body;
    return request;
}

// DNS rebinding: only the served address itself, or localhost, may stand in Host.
TEST(HttpRoute, TheHostMustNameTheServedAddressOrLocalhost)
{
    const struct {
        const char* host;
        const char* listen;
        bool allowed;
    } cases[] = {
        {"127.0.0.1:8719", "127.0.0.1", true},
        {"LocalHost", "127.0.0.1", true},
        {"[::1]:8719", "::1", true},
        {"localhost:8719", "::1", true},
        {"192.168.1.20", "0.0.0.0", true},
        {"[fe80::1]:1", "::", true},
        {"::1", "::1", false},
        {"127.0.0.2:8719", "127.0.0.1", false},
        {"evil.example", "127.0.0.1", false},
        {"cam.local:8719", "0.0.0.0", false},
        {"127.0.0.1:x", "127.0.0.1", false},
        {"[::1", "::1", false},
        {"", "127.0.0.1", false},
        {"[127.0.0.1]", "127.0.0.1", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HostAllowed(c.host, c.listen), c.allowed) << c.host << " on " << c.listen;
}

TEST(HttpRoute, TheTokenMustMatchWhole)
{
    EXPECT_TRUE(SameSecret("s3cret", "s3cret"));
    for (const char* wrong : {"s3cre", "s3cret!", "S3cret", "", "s3cret\n"})
        EXPECT_FALSE(SameSecret(wrong, "s3cret"));
    EXPECT_FALSE(SameSecret("", ""));

    RequestView request = Post("/v1/keys/menu/click", "{}");
    const ListenPolicy policy{"127.0.0.1", std::string("s3cret")};
    request.authorization = "bearer  s3cret ";
    EXPECT_EQ(DecideRequest(request, policy).route, Route::Key);
    request.authorization = "Basic s3cret";
    EXPECT_EQ(DecideRequest(request, policy).status, 401);
}

// Only serve's own origin may reach a key: another origin (a web server on another port of the
// same machine too), a preflight, or a request the browser marks as another site's, is refused.
TEST(HttpRoute, OnlyServesOwnOriginIsAllowed)
{
    const ListenPolicy policy{"127.0.0.1", std::nullopt, 8719};
    RequestView request = Post("/v1/keys/menu/click", "{}");
    for (const char* origin : {"http://localhost:8719", "http://127.0.0.1:8719", " http://LOCALHOST:8719"}) {
        request.origin = origin;
        EXPECT_EQ(DecideRequest(request, policy).route, Route::Key) << origin;
    }
    for (const char* origin : {"http://evil.example", "null", "http://127.0.0.1.evil.example:8719",
                               "http://localhost:3000", "https://127.0.0.1:8719", "http://127.0.0.1",
                               "http://127.0.0.1:08719", "http://localhost:8719/", "ws://127.0.0.1:8719"}) {
        request.origin = origin;
        EXPECT_EQ(DecideRequest(request, policy).cause, "origin-refused") << origin;
    }
    EXPECT_TRUE(OriginAllowed("http://[::1]:80", ListenPolicy{"::1", std::nullopt, 80}));
    EXPECT_TRUE(OriginAllowed("http://[::1]", ListenPolicy{"::1", std::nullopt, 80}));
    request.origin.reset();
    for (const char* site : {"cross-site", "Same-Site"}) {
        request.fetchSite = site;
        EXPECT_EQ(DecideRequest(request, policy).status, 403) << site;
        RequestView page = request;
        page.method = "GET";
        page.target = "/";
        EXPECT_EQ(DecideRequest(page, policy).status, 403) << site;
    }
    request.fetchSite = "same-origin";
    EXPECT_EQ(DecideRequest(request, policy).route, Route::Key);
    request.method = "OPTIONS";
    EXPECT_EQ(DecideRequest(request, policy).status, 403);
}

// A browser's socket carries the token as a subprotocol, its bytes in hexadecimal: it opens the
// socket only, a wrong one is refused like a wrong header, and the page itself needs none.
TEST(HttpRoute, TheTokenMayComeAsASubprotocolOnTheUpgrade)
{
    const ListenPolicy policy{"127.0.0.1", std::string("q+8/Zx=="), 8719};
    RequestView upgrade;
    upgrade.method = "GET";
    upgrade.target = "/v1/events";
    upgrade.hosts = {"127.0.0.1:8719"};
    upgrade.websocketUpgrade = true;
    upgrade.protocols = "velmora, velmora-token.712b382f5a783d3d";
    const Decision accepted = DecideRequest(upgrade, policy);
    EXPECT_EQ(accepted.route, Route::Events);
    EXPECT_EQ(accepted.protocol, "velmora");
    for (const char* wrong :
         {"velmora, velmora-token.712b382f5a783d", "velmora-token.712b382f5a783d3", "velmora"}) {
        upgrade.protocols = wrong;
        const Decision refused = DecideRequest(upgrade, policy);
        EXPECT_EQ(refused.status, 401) << wrong;
        EXPECT_EQ(refused.rule.find("712b"), std::string::npos);
    }
    upgrade.protocols = "velmora-token.712b382f5a783d3d";
    upgrade.websocketUpgrade = false;
    upgrade.target = "/v1/status";
    EXPECT_EQ(DecideRequest(upgrade, policy).status, 401);
    upgrade.target = "/";
    upgrade.protocols.reset();
    EXPECT_EQ(DecideRequest(upgrade, policy).route, Route::Page);
}

// The socket's messages: a press may ask for a lease, a renewal names its key; anything else is
// answered with an error.
TEST(HttpRoute, SocketMessagesAndLeaseRenewals)
{
    Decision press = DecideSocketMessage(R"({"key": "zoom-in", "action": "press", "lease": true, "id": 4})");
    EXPECT_EQ(press.route, Route::Key);
    EXPECT_TRUE(press.lease);
    EXPECT_EQ(press.id.toInt(), 4);
    EXPECT_EQ(DecideSocketMessage(R"({"key": "zoom-in", "action": "renew"})").route, Route::Renew);
    for (const char* bad :
         {R"({"action": "renew"})", R"({"key": "zoom-in", "action": "click", "lease": true})",
          R"({"key": "zoom-in", "action": "press", "lease": 1})",
          R"({"key": "zoom-in", "action": "renew", "device": "0"})", "[]", "{"}) {
        EXPECT_EQ(DecideSocketMessage(bad).route, Route::Refused) << bad;
    }
}

// A nudge's time and a macro's name are checked before anything runs, over HTTP and the socket.
TEST(HttpRoute, NudgesAndMacrosAreCheckedBeforeTheyRun)
{
    const ListenPolicy policy{"127.0.0.1", std::nullopt};
    const Decision nudge = DecideRequest(Post("/v1/keys/zoom-in/nudge?device=1", R"({"ms": 300})"), policy);
    ASSERT_EQ(nudge.route, Route::Nudge);
    EXPECT_EQ(nudge.device, "1");
    MacroBook book;
    book.macros.push_back(Macro{"Wide", 1, {MacroStep{MacroStep::Kind::Click, 1, 0, 2}}});
    Decision refused;
    const std::optional<Macro> timed = MacroOf(nudge, book, std::chrono::milliseconds(10000), refused);
    ASSERT_TRUE(timed);
    ASSERT_EQ(timed->steps.size(), 1u);
    EXPECT_EQ(timed->steps[0].kind, MacroStep::Kind::Nudge);
    EXPECT_EQ(timed->steps[0].ms, 300);
    EXPECT_FALSE(MacroOf(nudge, book, std::chrono::milliseconds(299), refused));
    EXPECT_EQ(refused.status, 400);
    for (const char* body :
         {"{}", R"({"ms": 0})", R"({"ms": -5})", R"({"ms": 1.5})", R"({"ms": "300"})", R"({"ms": 1e12})"}) {
        EXPECT_EQ(DecideRequest(Post("/v1/keys/zoom-in/nudge", body), policy).status, 400) << body;
    }
    EXPECT_EQ(DecideRequest(Post("/v1/keys/zoom-in/click", R"({"ms": 300})"), policy).status, 400);

    const Decision run = DecideRequest(Post("/v1/macros/wide", "{}"), policy);
    ASSERT_EQ(run.route, Route::RunMacro);
    EXPECT_TRUE(MacroOf(run, book, std::chrono::milliseconds(10000), refused));
    EXPECT_FALSE(MacroOf(DecideRequest(Post("/v1/macros/tall", "{}"), policy), book,
                         std::chrono::milliseconds(10000), refused));
    EXPECT_EQ(refused.cause, "unknown-macro");
    EXPECT_EQ(DecideRequest(Post("/v1/macros/a%20b", "{}"), policy).cause, "unknown-macro");
    RequestView cancel = Post("/v1/macros/running", "");
    cancel.method = "DELETE";
    EXPECT_EQ(DecideRequest(cancel, policy).route, Route::CancelMacro);

    const Decision tied = DecideSocketMessage(R"({"macro": "wide", "cancelOnClose": true, "id": 2})");
    EXPECT_EQ(tied.route, Route::RunMacro);
    EXPECT_TRUE(tied.cancelOnClose);
    EXPECT_EQ(DecideSocketMessage(R"({"macro": "running", "action": "cancel"})").route, Route::CancelMacro);
    EXPECT_EQ(DecideSocketMessage(R"({"key": "focus-in", "action": "nudge", "ms": 20})").ms, 20);
    for (const char* bad :
         {R"({"macro": "wide", "action": "cancel"})", R"({"macro": "running"})", R"({"macro": 5})",
          R"({"macro": "wide", "key": "menu"})", R"({"key": "zoom-in", "action": "nudge"})",
          R"({"key": "zoom-in", "action": "press", "ms": 30})",
          R"({"key": "zoom-in", "action": "click", "cancelOnClose": true})"}) {
        EXPECT_EQ(DecideSocketMessage(bad).route, Route::Refused) << bad;
    }
}

// The device comes from ?device= or the body; both may name it only alike.
TEST(HttpRoute, AKeyActionNamesItsDeviceOnce)
{
    const ListenPolicy policy{"127.0.0.1", std::nullopt};
    Decision decision =
        DecideRequest(Post("/v1/keys/Zoom_inButton/press?device=abcd-ef01-%61", "{}"), policy);
    EXPECT_EQ(decision.route, Route::Key);
    EXPECT_EQ(decision.action, KeyAction::Press);
    EXPECT_EQ(decision.device, "abcd-ef01-a");
    EXPECT_EQ(DecideRequest(Post("/v1/keys/menu/click", R"({"device": 1})"), policy).device, "1");
    EXPECT_EQ(DecideRequest(Post("/v1/keys/menu/click?device=0", R"({"device": 1})"), policy).status, 400);
    EXPECT_EQ(DecideRequest(Post("/v1/keys/menu/click?device=%zz", "{}"), policy).status, 400);
    EXPECT_EQ(DecideRequest(Post("/v1/keys/menu/click", R"({"devices": 1})"), policy).status, 400);
    EXPECT_EQ(DecideRequest(Post("/v1/devices?device=1", "{}"), policy).status, 405);
}

}  // namespace
}  // namespace velmora::bridge
