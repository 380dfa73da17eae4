// The PIDArray methods called by a client that nobody sees, as a service or a task scheduled to
// run whether the user is logged on or not: this program moves itself into a window station of
// its own. The calls must finish without a box and still move the processes.
#include "backend_server.h"
#include "helper_processes_fixture.h"
#include "modal_driver.h"
#include "pid_arrays.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace {

// Moves the process into a new window station, which is not the visible one, and this thread onto
// a desktop in it. Both stay for the rest of the program.
bool EnterUnseenWindowStation() {
    HWINSTA station = ::CreateWindowStationA("TandrelUnattended", 0, WINSTA_ALL_ACCESS, nullptr);
    if (station == nullptr || !::SetProcessWindowStation(station))
        return false;
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    EXPECT_TRUE(::GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof(flags), &needed));
    EXPECT_EQ(0u, flags.dwFlags & WSF_VISIBLE) << "a new window station should be unseen";
    HDESK desktop = ::CreateDesktopA("Unattended", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    return desktop != nullptr && ::SetThreadDesktop(desktop);
}

class UnattendedClient : public HelperProcessesFixture {
  protected:
    static void SetUpTestSuite() { entered_ = EnterUnseenWindowStation(); }

    void SetUp() override {
        ASSERT_TRUE(entered_) << "cannot enter a window station of our own";
        manager_ = server_.CreateManager();
        ASSERT_TRUE(manager_);
        HelperProcessesFixture::SetUp();
    }

    using PidArrayMethod = HRESULT (STDMETHODCALLTYPE IAffinityManager::*)(VARIANT, LONG);

    // Any box that opens is a failure; it is recorded and cancelled so that the call comes back
    // (the test's time limit bounds the wait should it never open as a window at all).
    HRESULT CallWithHelpers(PidArrayMethod method, std::vector<int> listed, LONG mask) {
        std::deque<Variant> pids;
        std::vector<Variant*> elements;
        for (int index : listed) {
            pids.emplace_back(Pid(index));
            elements.push_back(&pids.back());
        }
        UniqueSafeArray array = VariantArray(elements);
        ModalDriver user;
        HRESULT result = (manager_.get()->*method)(ArrayArgument(array.get()), mask);
        for (const ShownDialog& box : user.shown())
            ADD_FAILURE() << "box shown: " << box.caption << ": " << box.text;
        return result;
    }

    static inline bool entered_ = false;
    ComApartment apartment_;
    BackendServer server_;
    ComPtr<IAffinityManager> manager_;
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
