// Window classes and control identifiers of the plug-in's windows. The
// reference host and the end-to-end tests find the controls by these.
#pragma once

namespace morvel::ui {

// Window class names (the classes' names, as the settings store uses them).
inline constexpr const char* kMainFormClass = "TfmMainForm";
inline constexpr const char* kDomListClass = "TfmDomList";
inline constexpr const char* kPanelClass = "MorvelPanel"; // Panel1 and Panel2
inline constexpr const char* kMultCheckClass = "TfmMultCheck";
inline constexpr const char* kCheckGridClass = "MorvelCheckGrid";

// Main window.
inline constexpr int kPanel1Id = 100;
inline constexpr int kStatisticTextId = 101;     // myStatisticM, a multi-line EDIT
inline constexpr int kRecalcButtonId = 102;      // BitBtn1, "Recalc Statistic"
inline constexpr int kMultipliersButtonId = 103; // btnOBL1, "Multipliers"

// Multipliers window.
inline constexpr int kPanel2Id = 200;
inline constexpr int kFirstBandButtonId = 201; // RzBitBtn1 .. RzBitBtn9 are 201 .. 209
inline constexpr int kBandListId = 210;        // LV1, a list view

// Multiplier check window: the headline and the station being typed (static
// texts), and the grid, whose window text is its content.
inline constexpr int kCheckHeadlineId = 300;
inline constexpr int kCheckStationId = 301;
inline constexpr int kCheckGridId = 302;
// Its rate line, the typed station's alert (DUPE, NEW MULTIPLIER) and
// history, the warning about the last contact counted and the button that
// dismisses it, and the DXCC prefixes worked on the emphasised band (a list
// box) with its title.
inline constexpr int kCheckRateId = 303;
inline constexpr int kCheckAlertId = 304;
inline constexpr int kCheckHistoryId = 305;
inline constexpr int kCheckWarningId = 306;
inline constexpr int kCheckDismissId = 307;
inline constexpr int kCheckDxccTitleId = 308;
inline constexpr int kCheckDxccListId = 309;
// Sent to the grid (no parameters): 0 without a typed station's row, 1 when
// its row is in view, 2 when it is not.
inline constexpr unsigned kCheckTypedRowMessage = 0x8000 + 5; // WM_APP + 5

} // namespace morvel::ui
