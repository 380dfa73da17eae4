// The PIDArray methods called by a client that nobody sees, as a service or a task scheduled to
// run whether the user is logged on or not: this program moves itself into a window station of
// its own. The calls must finish without a box and still move the processes.
#include "backend_server.h"
#include "helper_processes_fixture.h"
#include "modal_driver.h"
#include "pid_arrays.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Long enough for any call here; a box waiting for an answer never ends on its own.
constexpr DWORD kCallWaitMilliseconds = 30 * 1000;

// Moves the process into a new window station, which is not the visible one, and makes a desktop
// in it for the calling threads. Both stay for the rest of the program.
HDESK EnterUnseenWindowStation() {
    HWINSTA station = ::CreateWindowStationA("TandrelUnattended", 0, WINSTA_ALL_ACCESS, nullptr);
    if (station == nullptr || !::SetProcessWindowStation(station)) {
        ADD_FAILURE() << "cannot enter a window station of our own, error " << ::GetLastError();
        return nullptr;
    }
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    EXPECT_TRUE(::GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof(flags), &needed));
    EXPECT_EQ(0u, flags.dwFlags & WSF_VISIBLE) << "a new window station should be unseen";
    HDESK desktop = ::CreateDesktopA("Unattended", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    EXPECT_NE(nullptr, desktop) << "error " << ::GetLastError();
    return desktop;
}

struct UnseenCall {
    std::function<HRESULT(IAffinityManager&)> call;
    HDESK desktop = nullptr;
    HRESULT result = E_UNEXPECTED;
    std::vector<ShownDialog> boxes;
};

// A fresh thread, so that it has no window yet and may take the unseen desktop.
DWORD WINAPI RunUnseenCall(void* parameter) {
    auto& unseen = *static_cast<UnseenCall*>(parameter);
    if (!::SetThreadDesktop(unseen.desktop))
        return 1;
    ComApartment apartment;
    BackendServer server;
    ComPtr<IAffinityManager> manager = server.CreateManager();
    if (!manager)
        return 1;
    // Nothing queued: a box that opens anyway is recorded and cancelled, so the call comes back.
    ModalDriver user;
    unseen.result = unseen.call(*manager.get());
    unseen.boxes = user.shown();
    return 0;
}

class UnattendedClient : public HelperProcessesFixture {
  protected:
    static void SetUpTestSuite() { desktop_ = EnterUnseenWindowStation(); }

    void SetUp() override {
        ASSERT_NE(nullptr, desktop_);
        HelperProcessesFixture::SetUp();
    }

    // Runs `call` on a thread of the unseen desktop; fails the test when it has not come back
    // within the bounded wait, or showed a box.
    HRESULT CallUnseen(std::function<HRESULT(IAffinityManager&)> call) {
        auto unseen = std::make_unique<UnseenCall>();
        unseen->call = std::move(call);
        unseen->desktop = desktop_;
        UniqueHandle thread(::CreateThread(nullptr, 0, RunUnseenCall, unseen.get(), 0, nullptr));
        if (!thread) {
            ADD_FAILURE() << "cannot start a thread, error " << ::GetLastError();
            return E_UNEXPECTED;
        }
        if (::WaitForSingleObject(thread.get(), kCallWaitMilliseconds) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the call is still waiting, as on a box nobody can see";
            unseen.release(); // the thread may still use it
            return E_UNEXPECTED;
        }
        DWORD exitCode = 1;
        ::GetExitCodeThread(thread.get(), &exitCode);
        EXPECT_EQ(0u, exitCode) << "the thread could not reach the object on the unseen desktop";
        for (const ShownDialog& box : unseen->boxes)
            ADD_FAILURE() << "box shown: " << box.caption << ": " << box.text;
        return unseen->result;
    }

    using PidArrayMethod = HRESULT (STDMETHODCALLTYPE IAffinityManager::*)(VARIANT, LONG);

    HRESULT CallWithHelpers(PidArrayMethod method, std::vector<int> listed, LONG mask) {
        std::deque<Variant> pids;
        std::vector<Variant*> elements;
        for (int index : listed) {
            pids.emplace_back(Pid(index));
            elements.push_back(&pids.back());
        }
        UniqueSafeArray array = VariantArray(elements);
        return CallUnseen([&](IAffinityManager& manager) {
            return (manager.*method)(ArrayArgument(array.get()), mask);
        });
    }

    static inline HDESK desktop_ = nullptr;
};

TEST_F(UnattendedClient, MoveProcessesMovesWithoutABox) {
    EXPECT_EQ(S_OK, CallWithHelpers(&IAffinityManager::MoveProcesses, {0, 2}, 1));
    ExpectMasks({1ul, all_, 1ul});
}

TEST_F(UnattendedClient, IsolateProcessesIsolatesWithoutABox) {
    EXPECT_EQ(S_OK, CallWithHelpers(&IAffinityManager::IsolateProcesses, {1}, 2));
    ExpectMasks({all_ & ~2ul, 2ul, all_ & ~2ul});
}

TEST_F(UnattendedClient, ArrayWithoutProcessesIsRefusedWithoutABox) {
    EXPECT_EQ(E_INVALIDARG, CallWithHelpers(&IAffinityManager::IsolateProcesses, {}, 2));
    ExpectMasks({all_, all_, all_});
}

} // namespace
