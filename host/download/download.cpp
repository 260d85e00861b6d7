// HTTP and HTTPS downloads with libcurl. The body streams through a fixed
// buffer straight into the temporary file beside the destination, so memory
// use does not depend on the file's size; the file replaces the destination
// only when every byte the server announced has arrived.
#include "host/download/download.h"

#include <curl/curl.h>
#include <sys/stat.h>

#include <memory>
#include <mutex>
#include <string>

#include "host/download/downloadProgress.h"
#include "host/host.h"
#include "src/device/replacementFile.h"
#include "src/urlPasswords.h"

namespace agent {

namespace {

DownloadLimits currentLimits;

struct CurlDeleter {
    void operator()(CURL *curl) const { curl_easy_cleanup(curl); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;

// What the write callback needs; the reason of a failed write stays here,
// because libcurl only learns that the write failed.
struct Sink {
    device::ReplacementFile *target;
    std::string reason;
};

size_t writeBody(char *bytes, size_t size, size_t count, void *context) {
    Sink *sink = static_cast<Sink *>(context);
    size_t length = size * count;
    if (sink->target->write(bytes, length, &sink->reason) < length) {
        return 0;  // less than given: libcurl stops with CURLE_WRITE_ERROR
    }
    return length;
}

// libcurl's progress callback; the transfer goes on.
int showProgress(void *progress, curl_off_t total, curl_off_t done, curl_off_t, curl_off_t) {
    static_cast<DownloadProgress *>(progress)->report(done, total);
    return 0;
}

bool initialiseCurl(std::string *reason) {
    static std::once_flag once;
    static CURLcode result = CURLE_FAILED_INIT;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (result != CURLE_OK) {
        *reason = std::string("libcurl could not be initialised: ") + curl_easy_strerror(result);
        return false;
    }
    return true;
}

bool configure(CURL *curl, const std::string &url, const char *user, const char *password,
               Sink *sink, DownloadProgress *progress, char *errorText, std::string *reason) {
    const DownloadLimits &limits = currentLimits;
    CURLcode code = CURLE_OK;
    auto set = [&code](CURLcode result) {
        if (code == CURLE_OK) {
            code = result;
        }
    };
    set(curl_easy_setopt(curl, CURLOPT_URL, url.c_str()));
    set(curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText));
    set(curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L));
    set(curl_easy_setopt(curl, CURLOPT_MAXREDIRS, limits.maxRedirects));
    set(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds));
    set(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, limits.stallBytesPerSecond));
    set(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds));
    // A status of 400 or more ends the transfer before any error page is written.
    set(curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L));
    // No signals: the lockout's handlers own them, and the agent may be threaded.
    set(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L));
    set(curl_easy_setopt(curl, CURLOPT_USERAGENT, "ixoAgent/1.0"));
    set(curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 256L * 1024L));
    set(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody));
    set(curl_easy_setopt(curl, CURLOPT_WRITEDATA, sink));
    if (progress != nullptr) {
        set(curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, showProgress));
        set(curl_easy_setopt(curl, CURLOPT_XFERINFODATA, progress));
        set(curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L));
    }
    bool withUser = user != nullptr && user[0] != '\0';
    bool withPassword = password != nullptr && password[0] != '\0';
    if (withUser || withPassword) {
        // libcurl sends them to the host of the URL only, not to the host of
        // a redirect.
        set(curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC)));
        set(curl_easy_setopt(curl, CURLOPT_USERNAME, withUser ? user : ""));
        set(curl_easy_setopt(curl, CURLOPT_PASSWORD, withPassword ? password : ""));
    }
    if (code != CURLE_OK) {
        *reason = std::string("libcurl refused an option: ") + curl_easy_strerror(code);
        return false;
    }
    return true;
}

// Why a finished transfer does not count, or "" when it does.
std::string transferFailure(CURL *curl, CURLcode code, const char *errorText, const Sink &sink) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (code == CURLE_HTTP_RETURNED_ERROR) {
        return "HTTP status " + std::to_string(status);
    }
    if (code == CURLE_WRITE_ERROR && !sink.reason.empty()) {
        return sink.reason;
    }
    if (code != CURLE_OK) {
        return errorText[0] != '\0' ? std::string(errorText) : curl_easy_strerror(code);
    }
    // Only a success status carries the file: a final redirect without a
    // target, say, has no body worth keeping.
    if (status < 200 || status > 299) {
        return "HTTP status " + std::to_string(status);
    }
    curl_off_t announced = -1;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
        announced >= 0 && announced != sink.target->bytesWritten()) {
        return "short body: " + std::to_string(sink.target->bytesWritten()) + " of " +
               std::to_string(static_cast<long long>(announced)) + " bytes";
    }
    return std::string();
}

// The file the body streams into, beside the destination; it takes the
// destination's place only once the body is complete.
bool openTarget(device::ReplacementFile *target, const char *destination, std::string *reason) {
    std::string host = deviceEntryPath(destination);
    struct stat info;
    if (!host.empty() && ::lstat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        *reason = std::string("destination '") + destination + "' is a directory";
        return false;
    }
    return target->create(host, destination, reason);
}

int download(const char *function, const char *url, const char *user, const char *password,
             const char *destination) {
    if (url == nullptr || url[0] == '\0' || destination == nullptr || destination[0] == '\0') {
        ixoLogger("Agent", function, __LINE__, 1, "Cannot download: %s",
                  url == nullptr || url[0] == '\0' ? "no URL given" : "no destination given");
        return -1;
    }
    std::string shownUrl = ixo::hideUrlPasswords(url);
    ixoLogger("Agent", function, __LINE__, 3, "Downloading '%s' to '%s' (user '%s', password %s)",
              shownUrl.c_str(), destination, user != nullptr ? user : "",
              password != nullptr && password[0] != '\0' ? "set" : "not set");
    std::string reason;
    device::ReplacementFile target;
    Sink sink{&target, std::string()};
    char errorText[CURL_ERROR_SIZE] = "";
    CurlPtr curl;
    bool done = initialiseCurl(&reason) &&
                openTarget(&target, destination, &reason);
    if (done) {
        curl.reset(curl_easy_init());
        if (!curl) {
            reason = "libcurl could not start a transfer";
            done = false;
        }
    }
    bool watched = progressWanted();
    DownloadProgress progress(watched, stderr);
    done = done && configure(curl.get(), url, user, password, &sink, watched ? &progress : nullptr,
                             errorText, &reason);
    if (done) {
        CURLcode code = curl_easy_perform(curl.get());
        progress.finish();
        reason = transferFailure(curl.get(), code, errorText, sink);
        done = reason.empty() && target.commit(&reason);
    }
    if (!done) {
        ixoLogger("Agent", function, __LINE__, 1, "Download of '%s' to '%s' failed: %s",
                  shownUrl.c_str(), destination, reason.c_str());
        return -1;
    }
    ixoLogger("Agent", function, __LINE__, 3, "Downloaded '%s' to '%s': %lld bytes",
              shownUrl.c_str(), destination, target.bytesWritten());
    return 0;
}

}  // namespace

void setDownloadLimits(const DownloadLimits &limits) { currentLimits = limits; }

DownloadLimits downloadLimits() { return currentLimits; }

int downloadWithCredentials(const char *url, const char *user, const char *password,
                            const char *destination, int) {
    return download(__func__, url, user, password, destination);
}

int downloadToFile(const char *url, const char *destination, int) {
    return download(__func__, url, nullptr, nullptr, destination);
}

}  // namespace agent
