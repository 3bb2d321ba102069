// Tests whose drives are virtual drives behind the pass-through seam.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "cdrom/LDeviceIo.h"
#include "cdrom/VirtualDiscFiles.h"
#include "vdrive/VirtualDeviceIo.h"

// A drive holding a made disc; null for a drive without a disc.
inline DriveConfig Disc(const char* name)
{
    DriveConfig config;
    config.image = name ? DiscCue(name) : "";
    return config;
}

// Points the device calls at a fresh set of virtual drives for each test.
class VirtualDrivesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        io = std::make_unique<VirtualDeviceIo>();
        SetDeviceIo(io.get());
    }
    void TearDown() override
    {
        SetDeviceIo(nullptr);
        io.reset();
    }

    std::unique_ptr<VirtualDeviceIo> io;
};
