#include "helper_processes_fixture.h"

void HelperProcessesFixture::SetUp() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    all_ = static_cast<unsigned long>(info.dwActiveProcessorMask);
    ASSERT_EQ(3ul, all_ & 3) << "the tests need processors 0 and 1";
    for (HelperProcess& helper : helpers_)
        ASSERT_TRUE(helper.SetMask(all_));
}

void HelperProcessesFixture::TearDown() {
    ::SetProcessAffinityMask(::GetCurrentProcess(), all_);
}

void HelperProcessesFixture::ExpectMasks(std::initializer_list<unsigned long> expected) const {
    int index = 0;
    for (unsigned long mask : expected) {
        EXPECT_EQ(mask, MaskOf(index)) << "helper " << index;
        ++index;
    }
}
