// Replays every file of the given folders (or single files) through a fuzz target's entry point. A crash,
// an ASan report or an abort fails the test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        files.push_back(argv[i]);
        if (fs::is_directory(argv[i]))
            files.insert(files.end(), fs::recursive_directory_iterator(argv[i]), {});
    }
    int count = 0;
    for (const fs::path& file : files) {
        if (!fs::is_regular_file(file))
            continue;
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++count;
    }
    // The empty input is always worth a run.
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("replayed %d inputs\n", count);
    return 0;
}
