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

// A page of another origin cannot reach a key: its Origin, or a preflight, is refused first.
TEST(HttpRoute, OtherOriginsAndPreflightsAreRefused)
{
    const ListenPolicy policy{"127.0.0.1", std::nullopt};
    RequestView request = Post("/v1/keys/menu/click", "{}");
    request.origin = "http://localhost:8719";
    EXPECT_EQ(DecideRequest(request, policy).route, Route::Key);
    for (const char* origin : {"http://evil.example", "null", "http://127.0.0.1.evil.example:8719"}) {
        request.origin = origin;
        EXPECT_EQ(DecideRequest(request, policy).cause, "origin-refused") << origin;
    }
    request.origin.reset();
    request.method = "OPTIONS";
    EXPECT_EQ(DecideRequest(request, policy).status, 403);
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
