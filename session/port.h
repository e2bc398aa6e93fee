// The one way from the session to the platform and its main window.
#pragma once

#include <string>
#include <string_view>

namespace morvel {

// What a recalculation from the log needs from the platform (a program that
// recalculates on its own, such as morvel-score, gives only this).
class RecalcPort {
public:
    virtual ~RecalcPort() = default;

    // Handles every pending window message of the thread, the host's included.
    virtual void ProcessMessages() = 0;
    // The statistics text, replaced.
    virtual void SetStatisticText(const std::string& text) = 0;
    // The enabled state of "Recalc Statistic" as the button shows it.
    virtual void SetRecalcEnabled(bool enabled) = 0;
};

// What the session needs from the platform and from the main window.
class SessionPort : public RecalcPort {
public:
    // Shows a failure to the operator.
    virtual void ShowFailure(std::string_view message) = 0;
    // After a contact: the statistics text is to be made from the statistics
    // when it is next shown.
    virtual void StatisticChanged() = 0;
    // Writes the settings that changed (CurrentBand among them).
    virtual void WriteSettings() = 0;
    // A close or a release that came while busy, sent to the main window
    // again once the busy code has returned.
    virtual void PostClose() = 0;
    virtual void PostRelease() = 0;
};

} // namespace morvel
