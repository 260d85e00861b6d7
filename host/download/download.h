// Downloads for the library: the two download entries of the function table,
// fetched with libcurl into a device path under the agent's device root.
#pragma once

namespace agent {

// How long a download may wait. A server that accepts no connection within
// connectTimeoutSeconds, or sends less than stallBytesPerSecond for
// stallSeconds in a row, fails the download; so do more than maxRedirects
// redirects.
struct DownloadLimits {
    long connectTimeoutSeconds = 30;
    long stallSeconds = 60;
    long stallBytesPerSecond = 1;
    long maxRedirects = 5;
};
void setDownloadLimits(const DownloadLimits &limits);
DownloadLimits downloadLimits();

// Fetches an http:// or https:// URL into the device path destination, with
// Basic authentication when a user or password is given. 0 when the whole
// body is in place; -1, with the reason logged (never the password), when it
// is not: the destination is then as it was before.
int downloadWithCredentials(const char *url, const char *user, const char *password,
                            const char *destination, int flags);
int downloadToFile(const char *url, const char *destination, int flags);

}  // namespace agent
