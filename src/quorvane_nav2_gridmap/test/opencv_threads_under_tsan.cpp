// Linked into every test binary. ThreadSanitizer cannot see the synchronisation inside OpenCV's
// TBB pool, so every parallel loop body it runs would look like a race with the thread that
// called it, and no suppression can tell those from a real race between a loop body and another
// thread. Under ThreadSanitizer the tests therefore run OpenCV's loops on the calling thread,
// where any such race stays visible.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUORVANE_UNDER_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define QUORVANE_UNDER_THREAD_SANITIZER 1
#endif

#ifdef QUORVANE_UNDER_THREAD_SANITIZER
#include <opencv2/core/utility.hpp>

namespace
{

struct SerialOpenCv
{
  SerialOpenCv() {cv::setNumThreads(1);}
} serial_opencv;

}  // namespace
#endif
