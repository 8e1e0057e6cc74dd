#pragma once

// A host window over a screen of its own on Qt's offscreen platform, for sending it Qt's events.

#include "host/HostWindow.h"
#include "host/RunLoopBridge.h"

#include "TestEnvironment.h"

#include "ui/Application.h"
#include "ui/Window.h"

#include <QGuiApplication>

#include <memory>

namespace testsupport {

class HostWindowTest : public TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        ui::Application::resetSharedApplication();
        application = std::make_unique<QGuiApplication>(argc, argv);
        window = std::make_shared<ui::Window>();
        bridge = std::make_unique<host::RunLoopBridge>();
        hostWindow = std::make_unique<host::HostWindow>(*window, *bridge, 2);
    }
    void TearDown() override
    {
        hostWindow.reset();
        bridge.reset();
        window.reset();
        application.reset();
        ui::Application::resetSharedApplication();
        TestEnvironment::TearDown();
    }

    int argc { 1 };
    char name[8] = "parlivo";
    char* argv[2] = { name, nullptr };
    std::unique_ptr<QGuiApplication> application;
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<host::RunLoopBridge> bridge;
    std::unique_ptr<host::HostWindow> hostWindow;
};

} // namespace testsupport
