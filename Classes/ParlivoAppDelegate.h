#pragma once

/// The root object of the running application. For now it holds the class initialisation
/// that registers the settings defaults; the application's start-up and shutdown join it as
/// the screens they need are built.
class ParlivoAppDelegate {
public:
    /// Registers the default of every settings key with the settings store. Runs once per
    /// process before any setting is read (main calls it first); the defaults are never
    /// written to the settings file.
    static void initialize();
};
