#ifndef QUORVANE_NAV2_GRIDMAP__PARALLEL_FOR_HPP_
#define QUORVANE_NAV2_GRIDMAP__PARALLEL_FOR_HPP_

// cv::parallel_for_ as the library uses it: the tasks run on OpenCV's thread pool, and the caller
// sees everything they wrote once it returns. The pool synchronises inside libraries that
// ThreadSanitizer does not instrument, so under it the hand-over is announced explicitly;
// otherwise this is cv::parallel_for_ itself.

#include <type_traits>
#include <utility>

#include <opencv2/core/utility.hpp>

#if defined(__SANITIZE_THREAD__)
#define QUORVANE_ANNOUNCE_HAND_OVER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUORVANE_ANNOUNCE_HAND_OVER 1
#endif
#endif

#if defined(QUORVANE_ANNOUNCE_HAND_OVER)
extern "C" void __tsan_acquire(void * address);
extern "C" void __tsan_release(void * address);
#endif

namespace quorvane_nav2_gridmap
{

#if defined(QUORVANE_ANNOUNCE_HAND_OVER)
// Runs a body between an acquire and a release of the wrapper's own address: a task learns that
// address without reading memory, so nothing it reads comes before its acquire.
template<typename Body>
class HandedOverBody : public cv::ParallelLoopBody
{
public:
  explicit HandedOverBody(Body & body)
  : body_(body) {}

  void operator()(const cv::Range & part) const override
  {
    void * const token = const_cast<HandedOverBody *>(this);
    __tsan_acquire(token);
    body_(part);
    __tsan_release(token);
  }

private:
  Body & body_;
};
#endif

template<typename Body>
void parallelFor(const cv::Range & range, Body && body)
{
#if defined(QUORVANE_ANNOUNCE_HAND_OVER)
  // Everything the tasks read, the wrapper included, is written before the release.
  HandedOverBody<std::remove_reference_t<Body>> handed_over(body);
  __tsan_release(&handed_over);
  cv::parallel_for_(range, handed_over);
  __tsan_acquire(&handed_over);
#else
  cv::parallel_for_(range, std::forward<Body>(body));
#endif
}

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__PARALLEL_FOR_HPP_
