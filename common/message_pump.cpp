#include "common/message_pump.h"

#include "common/unique_handle.h"

namespace vandrel {

namespace {

class PlainWaits : public MessagePump {
public:
    void Pump() override {}
    DWORD Wait(HANDLE handle, DWORD timeoutMs) override { return ::WaitForSingleObject(handle, timeoutMs); }
    void Sleep(DWORD ms) override { ::Sleep(ms); }
};

struct FlushJob {
    HANDLE file;
    BOOL result;
};

DWORD WINAPI FlushThread(LPVOID param) {
    auto* job = static_cast<FlushJob*>(param);
    job->result = ::FlushFileBuffers(job->file);
    return 0;
}

}  // namespace

MessagePump& NoPump() {
    static PlainWaits plain;
    return plain;
}

BOOL FlushPumping(HANDLE file, MessagePump& pump) {
    FlushJob job{file, FALSE};
    UniqueHandle thread(::CreateThread(nullptr, 0, FlushThread, &job, 0, nullptr));
    if (!thread) return ::FlushFileBuffers(file);
    pump.Wait(thread.get(), INFINITE);
    return job.result;
}

}  // namespace vandrel
