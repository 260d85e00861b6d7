// Downloads as the "downloadFileFromServer" command does them: a file fetched
// by the agent from the test HTTP server on 127.0.0.1, and a MIME part that
// came with the command written to a file by the library.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/command/base64.h"
#include "host/download/download.h"
#include "host/host.h"
#include "bench/benchSupport.h"
#include "ixo/commands.h"
#include "tests/support/testHttpServer.h"

namespace {

constexpr long kMiB = 1024 * 1024;

std::string serverScript() {
    std::string self = __FILE__;
    size_t at = self.rfind("bench/downloadBench.cpp");
    std::string top = at == std::string::npos ? std::string() : self.substr(0, at);
    return top + "tests/support/httpServer.py";
}

// Writes a file of the given size through a small buffer, so that making it
// does not raise the process's peak memory.
bool writeSizedFile(const std::string &path, long size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::vector<char> block(kMiB);
    for (size_t index = 0; index < block.size(); ++index) {
        block[index] = static_cast<char>(index * 31 + index / 4096);
    }
    bool written = true;
    for (long left = size; left > 0 && written;) {
        size_t count = static_cast<size_t>(left < kMiB ? left : kMiB);
        written = write(fd, block.data(), count) == static_cast<ssize_t>(count);
        left -= static_cast<long>(count);
    }
    return close(fd) == 0 && written;
}

long peakRssKiB() {
    struct rusage usage;
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}

// The root file system writable, so the command runs no device program.
bool prepareDevice() {
    static bool prepared = bench::writeDeviceFile(
        "/proc/mounts", "/dev/root / ext2 rw,noatime 0 0\n/dev/sda3 /home ext2 rw 0 0\n");
    std::string tmp = bench::deviceRoot() + "/tmp";
    return prepared && (mkdir(tmp.c_str(), 0755) == 0 || errno == EEXIST);
}

// Fetches a file of state.range(0) MiB, size after size; the peak memory
// counters show whether a bigger file needs more.
void HttpDownload(benchmark::State &state) {
    long size = state.range(0) * kMiB;
    std::string served = bench::deviceRoot() + "/served";
    if (!prepareDevice() || (mkdir(served.c_str(), 0755) != 0 && errno != EEXIST) ||
        !writeSizedFile(served + "/file.bin", size)) {
        state.SkipWithError("cannot prepare the served file");
        return;
    }
    downloadtest::TestHttpServer server;
    std::string error;
    if (!server.start(serverScript(), served, "", "", 30, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::string url = server.url("/files/file.bin");
    long peakBefore = peakRssKiB();
    for (auto _ : state) {
        if (agent::downloadToFile(url.c_str(), "/tmp/download.bin", 0) != 0) {
            state.SkipWithError("the download failed");
            break;
        }
    }
    long peakAfter = peakRssKiB();
    server.stop();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    state.counters["peakRssKiB"] = static_cast<double>(peakAfter);
    state.counters["peakRssGrowthKiB"] = static_cast<double>(peakAfter - peakBefore);
    unlink((served + "/file.bin").c_str());
    unlink((bench::deviceRoot() + "/tmp/download.bin").c_str());
}
BENCHMARK(HttpDownload)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// Writes the 10 MiB MIME part of a command through the command table.
void WriteMimeToFile(benchmark::State &state) {
    const long size = 10 * kMiB;
    std::string body(static_cast<size_t>(size), '\0');
    for (size_t index = 0; index < body.size(); ++index) {
        body[index] = static_cast<char>(index * 13 + index / 997);
    }
    std::string xml =
        "<command name=\"downloadFileFromServer\"><parameters><source>part.bin</source>"
        "<destination>/tmp/part.bin</destination></parameters><mimePart><headers>"
        "Content-Location: part.bin</headers><body encoding=\"base64\">" +
        agent::detail::base64Encode(body) + "</body></mimePart></command>";
    std::string error;
    agent::CommandPtr command = agent::parseCommand(xml, "bench.xml", &error);
    CommandHandlerFn handler = nullptr;
    for (PlatformCommandHandler *entry = getPlatformCommandHandlers(); entry->handler != nullptr;
         ++entry) {
        if (std::string(entry->name) == "downloadFileFromServer") {
            handler = entry->handler;
        }
    }
    if (!command || handler == nullptr || !prepareDevice()) {
        state.SkipWithError(command ? "no downloadFileFromServer handler" : error.c_str());
        return;
    }
    // Ending a lockout that was never begun logs an error on every run.
    int level = agent::logLevel();
    agent::setLogLevel(0);
    for (auto _ : state) {
        IxoCharBuffer *response = nullptr;
        char *errorClass = nullptr;
        char *message = nullptr;
        int result = handler(command.get(), &response, &errorClass, &message);
        free(errorClass);
        free(message);
        freeAllCharBuffers(response);
        if (result != 0) {
            state.SkipWithError("writing the part failed");
            break;
        }
    }
    agent::setLogLevel(level);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    unlink((bench::deviceRoot() + "/tmp/part.bin").c_str());
}
BENCHMARK(WriteMimeToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
