// Tests that move real helper processes: three of them, all on every processor at the start.
#pragma once

#include "helper_processes.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

class HelperProcessesFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    // Isolation moves every process, this one included: it is put back on every processor.
    void TearDown() override;

    LONG Pid(int index) const { return static_cast<LONG>(helpers_[index].pid()); }
    unsigned long MaskOf(int index) const { return helpers_[index].mask(); }
    // The masks of the first helpers, in order.
    void ExpectMasks(std::initializer_list<unsigned long> expected) const;

    std::vector<HelperProcess> helpers_ = StartHelpers(3);
    unsigned long all_ = 0; // every processor of the machine
};
