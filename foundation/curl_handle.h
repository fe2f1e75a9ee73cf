#pragma once
// The one owner of a libcurl easy handle: made on construction, cleaned up on destruction, never
// copied. A handle that libcurl could not make is null (get() == nullptr, !valid()).
#include <curl/curl.h>

class CurlHandle {
public:
    CurlHandle() : handle_(curl_easy_init()) {}
    ~CurlHandle() {
        if (handle_) curl_easy_cleanup(handle_);
    }
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;

    CURL* get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != nullptr; }

private:
    CURL* handle_;
};
