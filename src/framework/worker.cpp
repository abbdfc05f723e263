#include "framework/worker.h"

namespace lvx::ui {

bool WorkerControl::WaitForWork(uint32_t milliseconds) {
  if (StopRequested()) return false;
  wake_.Wait(milliseconds);
  return !StopRequested();
}

CWorker::CWorker(Body body) : control_(std::make_shared<WorkerControl>()), body_(std::move(body)) {}

CWorker::~CWorker() {
  control_->stop_.store(true, std::memory_order_release);
  control_->wake_.Set();
}

bool CWorker::Start() {
  if (thread_ || !body_) return false;
  std::shared_ptr<WorkerControl> control = control_;
  Body body = body_;
  auto thread = std::make_unique<os::Thread>([control, body]() { return body(*control); });
  if (!thread->Start()) return false;
  thread_ = std::move(thread);
  return true;
}

bool CWorker::Stop(uint32_t milliseconds) {
  control_->stop_.store(true, std::memory_order_release);
  control_->wake_.Set();
  if (!thread_) return true;
  return thread_->Finished() || thread_->JoinDispatching(milliseconds);
}

bool CWorker::Running() const { return thread_ && !thread_->Finished(); }

}  // namespace lvx::ui
