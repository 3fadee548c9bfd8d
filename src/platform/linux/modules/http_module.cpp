// libtessavinor-http.so: the HTTP client and libcurl, loaded when the first
// request is sent (module_services.h).
#include "platform/linux/curl_http_client.h"

extern "C" __attribute__((visibility("default"))) tessa::HttpClient* tessavinorHttpClient(tessa::TaskRunner& runner) {
  return new tessa::CurlHttpClient(runner);
}
