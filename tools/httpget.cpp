// httpget URL FILE [/AUTO]: downloads URL into FILE, the way the "HTTP Download" script step
// starts it. The file appears whole or not at all: the transfer goes to a temporary file beside
// it, renamed over FILE once complete. Redirects are followed. "/AUTO" asks for no questions; this
// program never asks any, so it is accepted and changes nothing.
//
// Exit codes: 0 downloaded; 1 wrong arguments; 2 the server or the network failed (an HTTP status
// of 400 or above counts); 3 the file could not be written. The reason goes to standard error.
#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/rt/paths.h"
#include "platform/rt/text.h"

namespace {

constexpr int kOk = 0, kUsage = 1, kTransfer = 2, kWrite = 3;

size_t writeTo(char* data, size_t size, size_t count, void* file) {
  return std::fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

int usage() {
  std::fprintf(stderr, "usage: httpget URL FILE [/AUTO]\n");
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (ov::rt::UPPER(a) == "/AUTO") continue;
    args.push_back(a);
  }
  if (args.size() != 2 || args[0].empty() || args[1].empty()) return usage();
  const std::string& url = args[0];
  const std::string target = ov::rt::resolvePath(args[1]);
  std::string temp = target + ".partXXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    std::perror(target.c_str());
    return kWrite;
  }
  FILE* out = ::fdopen(fd, "wb");
  if (!out) {
    std::perror(temp.c_str());
    ::close(fd);
    ::unlink(temp.c_str());
    return kWrite;
  }

  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  char error[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 60L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeTo);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);
  const CURLcode rc = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  curl_global_cleanup();

  const bool written = std::fflush(out) == 0 && ::fsync(::fileno(out)) == 0;
  std::fclose(out);
  if (rc != CURLE_OK) {
    ::unlink(temp.c_str());
    std::fprintf(stderr, "httpget: %s: %s\n", url.c_str(), error[0] ? error : curl_easy_strerror(rc));
    return rc == CURLE_WRITE_ERROR ? kWrite : kTransfer;
  }
  if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
    std::perror(target.c_str());
    ::unlink(temp.c_str());
    return kWrite;
  }
  return kOk;
}
