// A control on a virtual line with a recording site, on virtual time.
#pragma once

#include <gtest/gtest.h>

#include "comm/FerixComm.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/virtual/VirtualHost.h"
#include "sim/virtual/VirtualLine.h"

class ControlFixture : public ::testing::Test {
protected:
    ControlFixture() : line(host, "virtual:1"), control(host, site, line.controlEnd()) {
        control.setPortDevices([](int n) { return "virtual:" + std::to_string(n); });
        loc::selectLanguage(loc::kEnglish);
    }

    sim::VirtualHost host;
    sim::RecordingSite site;
    sim::VirtualLine line;
    comm::ctrlFerixComm control;
};
