#pragma once
// libcurl's process-wide set-up is not safe to run from two threads at
// once; every client of this folder goes through this one guard.
namespace net {

void CurlGlobalInit();

}  // namespace net
