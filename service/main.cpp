// pi-service: the pi-digit web service.
//
//   pi-service [--digits FILE] [--listen 127.0.0.1:8314] [--threads N]
//
// Maps the digits file and its index (building the index first when it is
// missing or stale), then answers HTTP on the given address until SIGINT or
// SIGTERM. Prints "listening on http://HOST:PORT/" on standard output when
// ready.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "digits_file.h"
#include "http_server.h"
#include "pi_index.h"

namespace {

void Usage(std::FILE* to) {
  std::fprintf(to,
               "usage: pi-service [options]\n"
               "  --digits FILE         digits of pi after the decimal point (default: %s)\n"
               "  --index FILE          the index (default: the digits file with .idx added)\n"
               "  --listen HOST:PORT    address to serve on (default 127.0.0.1:8314; port 0: any free port)\n"
               "  --threads N           threads serving requests and building the index (default: all cores)\n"
               "  --max-connections N   open connections at most; more get 503 (default 10000)\n"
               "  --idle-timeout SEC    close a connection quiet for this long (default 30)\n"
               "  --build-index         build the index if needed, then exit without serving\n"
               "  --rebuild-index       build the index even if a matching one exists\n"
               "  --help                this text\n",
               pidigits::DefaultDigitsPath().string().c_str());
}

bool ParseCount(const char* text, long lo, long hi, long& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < lo || v > hi) return false;
  out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string digits_path = pidigits::DefaultDigitsPath().string();
  std::string index_path;
  pisvc::ServerOptions server_options;
  server_options.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  bool build_only = false;
  bool rebuild = false;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "pi-service: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    long n = 0;
    if (arg == "--digits") {
      digits_path = value();
    } else if (arg == "--index") {
      index_path = value();
    } else if (arg == "--listen") {
      const char* v = value();
      if (!pisvc::ParseListen(v, server_options.address, server_options.port)) {
        std::fprintf(stderr, "pi-service: --listen wants HOST:PORT, such as 127.0.0.1:8314 or [::1]:8314, not %s\n", v);
        return 2;
      }
    } else if (arg == "--threads") {
      if (!ParseCount(value(), 1, 256, n)) {
        std::fprintf(stderr, "pi-service: --threads wants a number from 1 to 256\n");
        return 2;
      }
      server_options.threads = static_cast<int>(n);
    } else if (arg == "--max-connections") {
      if (!ParseCount(value(), 1, 1000000, n)) {
        std::fprintf(stderr, "pi-service: --max-connections wants a number from 1 to 1000000\n");
        return 2;
      }
      server_options.max_connections = static_cast<int>(n);
    } else if (arg == "--idle-timeout") {
      if (!ParseCount(value(), 1, 86400, n)) {
        std::fprintf(stderr, "pi-service: --idle-timeout wants seconds from 1 to 86400\n");
        return 2;
      }
      server_options.idle_timeout = std::chrono::seconds(n);
    } else if (arg == "--build-index") {
      build_only = true;
    } else if (arg == "--rebuild-index") {
      rebuild = true;
    } else if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else {
      std::fprintf(stderr, "pi-service: unknown option %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }
  if (index_path.empty()) index_path = pisvc::PiIndex::DefaultPath(digits_path);

  const auto start = std::chrono::steady_clock::now();
  pisvc::IndexOptions index_options;
  index_options.threads = std::min(server_options.threads, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  index_options.show_progress = true;
  index_options.force_rebuild = rebuild;
  std::string error;
  auto index = pisvc::PiIndex::Open(digits_path, index_path, index_options, error);
  if (!index) {
    std::fprintf(stderr, "pi-service: %s\n", error.c_str());
    return 1;
  }
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (index->built()) {
    std::fprintf(stderr, "pi-service: built the index %s (%s) for %llu digits\n", index_path.c_str(),
                 index->build_reason().c_str(), static_cast<unsigned long long>(index->size()));
  }
  std::fprintf(stderr, "pi-service: %llu digits from %s, index %s, ready in %.2f s\n",
               static_cast<unsigned long long>(index->size()), digits_path.c_str(), index_path.c_str(), took);
  if (build_only) return 0;

  auto server = pisvc::Server::Create(*index, server_options, error);
  if (!server) {
    std::fprintf(stderr, "pi-service: %s\n", error.c_str());
    return 1;
  }
  server->StopOnSignals();
  const bool v6 = server_options.address.find(':') != std::string::npos;
  std::printf("pi-service: listening on http://%s%s%s:%u/\n", v6 ? "[" : "", server_options.address.c_str(),
              v6 ? "]" : "", static_cast<unsigned>(server->port()));
  std::fflush(stdout);
  server->Run();
  std::fprintf(stderr, "pi-service: stopped\n");
  return 0;
}
