// A stand-in for iceauth, which no package here provides, enough for an X session manager (xsm) to hand
// its clients their ICE authority: "iceauth source FILE" ("-" for standard input) appends each "add"
// line's entry to $ICEAUTHORITY (or ~/.ICEauthority). Everything else is accepted and ignored.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

// A field of the authority file: its length (two bytes, big-endian), then its bytes.
void field(std::string &out, const std::string &bytes)
{
    out += char((bytes.size() >> 8) & 0xff);
    out += char(bytes.size() & 0xff);
    out += bytes;
}

std::string fromHex(const std::string &hex)
{
    std::string bytes;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
        bytes += char(std::stoi(hex.substr(at, 2), nullptr, 16));
    return bytes;
}

// The words of a line, with double-quoted words as one ("" for an empty one).
std::vector<std::string> words(const std::string &line)
{
    std::vector<std::string> result;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at >= line.size())
            break;
        std::string word;
        if (line[at] == '"') {
            const std::size_t end = line.find('"', at + 1);
            word = line.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
            at = end == std::string::npos ? line.size() : end + 1;
        } else {
            const std::size_t end = line.find_first_of(" \t", at);
            word = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
            at = end == std::string::npos ? line.size() : end;
        }
        result.push_back(word);
    }
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || std::string(argv[1]) != "source")
        return 0;
    std::stringstream lines;
    if (std::string(argv[2]) == "-") {
        lines << std::cin.rdbuf();
    } else {
        std::ifstream file(argv[2]);
        lines << file.rdbuf();
    }
    std::string entries;
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> parts = words(line);
        if (parts.size() < 6 || parts[0] != "add")
            continue;
        for (std::size_t index = 1; index < 5; ++index)
            field(entries, parts[index]);
        field(entries, fromHex(parts[5]));
    }
    const char *path = std::getenv("ICEAUTHORITY");
    const std::string file =
        path ? path : std::string(std::getenv("HOME") ? std::getenv("HOME") : ".") + "/.ICEauthority";
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << entries;
    out.close();
    ::chmod(file.c_str(), 0600);
    return out ? 0 : 1;
}
