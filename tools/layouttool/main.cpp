// pelmora-layout: writes and dumps layout files.
//   pelmora-layout write OUT.dat L,T,R,B [L,T,R,B ...]
//   pelmora-layout dump IN.dat
#include "archive.h"

#include <QFile>
#include <QString>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: pelmora-layout write OUT.dat L,T,R,B [L,T,R,B ...]\n"
                         "       pelmora-layout dump IN.dat\n");
    return 2;
}

// "L,T,R,B": four decimal 32-bit integers, nothing else.
bool parseRect(std::string_view text, SheetRect& rect)
{
    std::int32_t values[4];
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != ',')
                return false;
            ++p;
        }
        const auto [next, ec] = std::from_chars(p, end, values[i]);
        if (ec != std::errc())
            return false;
        p = next;
    }
    if (p != end)
        return false;
    rect = {values[0], values[1], values[2], values[3]};
    return true;
}

int write(const char* out, int count, char** specs)
{
    std::vector<SheetRect> rects;
    for (int i = 0; i < count; ++i) {
        SheetRect r;
        if (!parseRect(specs[i], r)) {
            std::fprintf(stderr, "pelmora-layout: \"%s\" is not L,T,R,B\n", specs[i]);
            return 1;
        }
        rects.push_back(r);
    }
    const QByteArray bytes = pelmora::WriteLayoutArchive(rects);
    QFile file(QString::fromLocal8Bit(out));
    // NewOnly refuses an existing file atomically: a layout someone made is
    // never overwritten.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        std::fprintf(stderr, "pelmora-layout: %s: %s\n", out,
                     file.exists() ? "already exists, not overwritten"
                                   : qPrintable(file.errorString()));
        return 1;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        std::fprintf(stderr, "pelmora-layout: %s: %s\n", out, qPrintable(file.errorString()));
        file.close();
        file.remove(); // a half-written layout is worse than none
        return 1;
    }
    file.close();
    return 0;
}

int dump(const char* in)
{
    QFile file(QString::fromLocal8Bit(in));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "pelmora-layout: %s: %s\n", in, qPrintable(file.errorString()));
        return 1;
    }
    const QByteArray bytes = file.read(pelmora::kMaxLayoutFileBytes);
    const pelmora::LayoutReadResult result = pelmora::ReadLayoutArchive(bytes);
    if (!result.ok()) {
        std::fprintf(stderr, "pelmora-layout: %s: offset %llu: %s\n", in,
                     static_cast<unsigned long long>(result.error->offset),
                     result.error->reason.c_str());
        return 1;
    }
    for (const SheetRect& r : result.rects)
        std::printf("%d %d %d %d\n", int(r.left), int(r.top), int(r.right), int(r.bottom));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string_view command = argv[1];
    if (command == "write" && argc >= 4)
        return write(argv[2], argc - 3, argv + 3);
    if (command == "dump" && argc == 3)
        return dump(argv[2]);
    return usage();
}
