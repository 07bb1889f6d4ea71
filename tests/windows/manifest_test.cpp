// The application manifest embedded by velmora_embed_manifest, read back from this executable.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows/windows_headers.h"

namespace {

TEST(Manifest, RequestsAsInvokerWithoutUiAccess)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(resource, nullptr);
    HGLOBAL loaded = LoadResource(module, resource);
    ASSERT_NE(loaded, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(loaded));
    const std::string manifest(bytes, SizeofResource(module, resource));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos) << manifest;
}

}  // namespace
