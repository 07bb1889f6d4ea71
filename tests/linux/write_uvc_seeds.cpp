// Writes the UVC descriptor seed layouts into a folder: velmora_write_uvc_seeds
// tests/fuzz/corpus/uvc_descriptors
#include <cstdio>
#include <fstream>

#include "tests/linux/uvc_descriptor_builder.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& [name, bytes] : velmora::linux_test::SeedLayouts()) {
        std::ofstream file(std::string(argv[1]) + "/" + name + ".bin", std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
