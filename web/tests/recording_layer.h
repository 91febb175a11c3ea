// recording_layer.h: an HttpLayer for tests that records every call as one
// line of text and answers from a script.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "web/http_layer.h"

namespace pl::testing {

class RecordingLayer final : public HttpLayer {
 public:
  // What the layer answers.
  bool fail_open = false;
  bool fail_connect = false;
  bool fail_request = false;
  bool fail_send = false;
  int fail_read_after = -1;          // the read of this number (from 0) fails; -1: none
  std::vector<std::string> pieces;   // the body, one piece per read (each at most the read size)
  std::string raw_headers = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
  bool has_headers = true;

  // What was asked of it.
  std::vector<std::string> calls;
  std::string sent_headers;  // the header block of the send, by its length
  int sent_headers_length = -1;
  std::string sent_body;

  HttpHandle Open(const Text& agent, int access_type, const Text& proxy, const Text& bypass,
                  std::uint32_t flags) override {
    calls.push_back("Open " + agent.str() + "|" + std::to_string(access_type) + "|" + proxy.str() + "|" +
                    bypass.str() + "|" + std::to_string(flags));
    return fail_open ? HttpHandle{} : HttpHandle{1};
  }
  HttpHandle Connect(HttpHandle session, const Text& host, int port, const Text& user, const Text& password,
                     int service, std::uint32_t flags, std::uintptr_t context) override {
    calls.push_back("Connect " + std::to_string(session.id) + "|" + host.str() + "|" + std::to_string(port) +
                    "|" + user.str() + "|" + password.str() + "|" + std::to_string(service) + "|" +
                    std::to_string(flags) + "|" + std::to_string(context));
    return fail_connect ? HttpHandle{} : HttpHandle{2};
  }
  HttpHandle OpenRequest(HttpHandle connection, const Text& verb, const Text& path, const Text& version,
                         const Text& referrer, std::uint32_t flags, std::uintptr_t context) override {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", flags);
    calls.push_back("OpenRequest " + std::to_string(connection.id) + "|" + verb.str() + "|" + path.str() + "|" +
                    version.str() + "|" + referrer.str() + "|" + hex + "|" + std::to_string(context));
    return fail_request ? HttpHandle{} : HttpHandle{3};
  }
  bool SetOption(HttpHandle request, int option, std::uint32_t value) override {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", value);
    calls.push_back("SetOption " + std::to_string(request.id) + "|" + std::to_string(option) + "|" + hex);
    return true;
  }
  bool Send(HttpHandle request, const Text& headers, int length, const Bytes& body) override {
    calls.push_back("Send " + std::to_string(request.id));
    sent_headers = std::string(headers.view().substr(0, static_cast<std::size_t>(length)));
    sent_headers_length = length;
    sent_body = std::string(body.view());
    return !fail_send;
  }
  bool Read(HttpHandle request, std::uint8_t* buffer, int size, int* count) override {
    calls.push_back("Read " + std::to_string(request.id) + "|" + std::to_string(size));
    *count = 0;
    if (reads_ == fail_read_after) return false;
    const std::size_t i = static_cast<std::size_t>(reads_++);
    if (i >= pieces.size()) return true;
    std::memcpy(buffer, pieces[i].data(), pieces[i].size());
    *count = static_cast<int>(pieces[i].size());
    return true;
  }
  bool QueryRawHeaders(HttpHandle request, Text* headers) override {
    calls.push_back("QueryRawHeaders " + std::to_string(request.id));
    if (!has_headers) return false;
    *headers = Text(raw_headers);
    return true;
  }
  void Close(HttpHandle handle) override { calls.push_back("Close " + std::to_string(handle.id)); }

  // The calls whose names start with `name`.
  std::vector<std::string> CallsOf(const std::string& name) const {
    std::vector<std::string> found;
    for (const std::string& c : calls) {
      if (c.compare(0, name.size() + 1, name + " ") == 0) found.push_back(c);
    }
    return found;
  }

 private:
  int reads_ = 0;
};

}  // namespace pl::testing
