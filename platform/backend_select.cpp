#include <cstdio>
#include <cstdlib>

#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#if defined(VELMORA_NATIVE_WINDOWS)
#include "platform/windows/windows_backend.h"
#endif
#if defined(VELMORA_NATIVE_LINUX)
#include "platform/linux/linux_backend.h"
#endif

namespace velmora {

namespace {

std::shared_ptr<Backend>& Installed()
{
    static std::shared_ptr<Backend> backend;
    return backend;
}

std::shared_ptr<Backend> CreateNativeBackend(std::string& error)
{
#if defined(VELMORA_NATIVE_WINDOWS)
    (void)error;
    return std::make_shared<windows::WindowsBackend>();
#endif
#if defined(VELMORA_NATIVE_LINUX)
    (void)error;
    return std::make_shared<linux_backend::LinuxBackend>(linux_backend::RealLinuxSystem());
#endif
    // No native backend is built yet: the simulated cameras stand in.
    return sim::SimBackend::FromEnvironment(error);
}

}  // namespace

bool HasNativeBackend()
{
#if defined(VELMORA_NATIVE_WINDOWS)
    return true;
#endif
#if defined(VELMORA_NATIVE_LINUX)
    return true;
#endif
    return false;
}

std::string RequestedBackendName()
{
    const char* name = std::getenv("VELMORA_BACKEND");
    return name ? name : "";
}

std::shared_ptr<Backend> CreateBackend(std::string_view name, std::string& error)
{
    if (name == "sim") return sim::SimBackend::FromEnvironment(error);
    if (name.empty() || name == "native") return CreateNativeBackend(error);
    error = "unknown backend '" + std::string(name) + "' (expected native or sim)";
    return nullptr;
}

std::shared_ptr<Backend> ActiveBackendShared()
{
    std::shared_ptr<Backend>& backend = Installed();
    if (!backend) {
        std::string error;
        backend = CreateBackend(RequestedBackendName(), error);
        if (!backend) {
            std::fprintf(stderr, "velmora: %s; using the default backend\n", error.c_str());
            error.clear();
            backend = CreateBackend("", error);
        }
        if (!backend) {
            std::fprintf(stderr, "velmora: %s; using the default simulated cameras\n", error.c_str());
            backend = std::make_shared<sim::SimBackend>(sim::DefaultSimWorld());
        }
    }
    return backend;
}

Backend& ActiveBackend()
{
    return *ActiveBackendShared();
}

void InstallBackend(std::shared_ptr<Backend> backend)
{
    Installed() = std::move(backend);
}

}  // namespace velmora
