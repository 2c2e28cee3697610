#include "export/background_sink.h"

#if CVM_HAVE_STD_THREAD
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>
#endif

namespace cvm {

#if CVM_HAVE_STD_THREAD
// Two blocks: the caller fills one while the thread writes the other.
struct BackgroundSink::Writer {
  explicit Writer(ByteSink& sink) : target(sink) {}

  void Run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [this] { return queued > 0 || stopping; });
      if (queued == 0) return;  // stopping, nothing left
      std::vector<uint8_t>& block = blocks[next];
      lock.unlock();
      std::string writeError;
      const bool ok = failed || target.Append(block.data(), block.size(), writeError);
      lock.lock();
      if (!ok && !failed) {
        failed = true;
        error = writeError;
      }
      next = (next + 1) % 2;
      --queued;
      changed.notify_all();
    }
  }

  ByteSink& target;
  std::thread thread;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<uint8_t> blocks[2];
  size_t next = 0;    // the block the thread writes next
  size_t queued = 0;  // blocks filled and not yet written
  bool stopping = false;
  bool failed = false;
  std::string error;
};
#else
struct BackgroundSink::Writer {};
#endif

BackgroundSink::BackgroundSink(ByteSink& target) : target_(target) {}

BackgroundSink::~BackgroundSink() {
  std::string ignored;
  Finish(ignored);
}

bool BackgroundSink::Append(const uint8_t* data, size_t size, std::string& error) {
#if CVM_HAVE_STD_THREAD
  if (direct_) return target_.Append(data, size, error);
  if (!writer_) {
    auto writer = std::make_unique<Writer>(target_);
    try {
      writer->thread = std::thread([w = writer.get()] { w->Run(); });
    } catch (const std::system_error&) {
      direct_ = true;  // no second thread: this block and every later one are written here
      return target_.Append(data, size, error);
    }
    writer_ = std::move(writer);
  }
  Writer& w = *writer_;
  std::unique_lock<std::mutex> lock(w.mutex);
  w.changed.wait(lock, [&w] { return w.queued < 2; });
  if (w.failed) {
    error = w.error;
    return false;
  }
  std::vector<uint8_t>& block = w.blocks[(w.next + w.queued) % 2];
  block.assign(data, data + size);
  ++w.queued;
  w.changed.notify_all();
  return true;
#else
  return target_.Append(data, size, error);
#endif
}

bool BackgroundSink::Finish(std::string& error) {
#if CVM_HAVE_STD_THREAD
  if (!writer_) return true;
  Writer& w = *writer_;
  {
    std::lock_guard<std::mutex> lock(w.mutex);
    w.stopping = true;
    w.changed.notify_all();
  }
  w.thread.join();
  const bool ok = !w.failed;
  if (!ok) error = w.error;
  writer_.reset();
  return ok;
#else
  (void)error;
  return true;
#endif
}

}  // namespace cvm
