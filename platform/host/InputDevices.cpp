#include "host/InputDevices.h"

#include "foundation/Log.h"

#include <QInputDevice>
#include <QString>

#include <cstdlib>
#include <cstring>

namespace host {

InputDevices currentInputDevices()
{
    InputDevices devices;
    for (const QInputDevice* device : QInputDevice::devices()) {
        if (device->type() == QInputDevice::DeviceType::Keyboard)
            devices.keyboard = true;
        else if (device->type() == QInputDevice::DeviceType::TouchScreen)
            devices.touchScreen = true;
    }
    // The input method modules that draw keys on the screen.
    const QString module = QString::fromLocal8Bit(std::getenv("QT_IM_MODULE"));
    devices.inputMethodShowsKeys = module == QLatin1String("qtvirtualkeyboard") || module == QLatin1String("maliit");
    return devices;
}

ui::KeyboardKind keyboardKindFor(const InputDevices& devices, const char* choice)
{
    if (choice && *choice) {
        if (std::strcmp(choice, "on-screen") == 0)
            return ui::KeyboardKind::OnScreen;
        if (std::strcmp(choice, "system") == 0)
            return ui::KeyboardKind::System;
        foundation::logf("PARLIVO_KEYBOARD is \"on-screen\" or \"system\", not \"%s\"; the keyboard is chosen as usual", choice);
    }
    if (devices.keyboard || !devices.touchScreen || devices.inputMethodShowsKeys)
        return ui::KeyboardKind::System;
    return ui::KeyboardKind::OnScreen;
}

} // namespace host
