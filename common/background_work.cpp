#include "common/background_work.h"

#include <utility>

namespace vandrel {

BackgroundWork::BackgroundWork(std::function<void()> work, MessagePump& pump) : work_(std::move(work)), pump_(pump) {
    thread_.reset(::CreateThread(nullptr, 0, Run, this, 0, nullptr));
    if (!thread_) work_();
}

BackgroundWork::~BackgroundWork() {
    if (thread_) pump_.Wait(thread_.get(), INFINITE);
}

DWORD WINAPI BackgroundWork::Run(LPVOID param) {
    static_cast<BackgroundWork*>(param)->work_();
    return 0;
}

}  // namespace vandrel
