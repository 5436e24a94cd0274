#pragma once

#include <windows.h>

#include <cstddef>

// What DemoDriver and the probe it hooks into PatchPAV's process agree on.
inline constexpr wchar_t kMeasureMessage[] = L"PatchPAV.DemoProbe.Measure";
inline constexpr wchar_t kReportName[] = L"Local\\PatchPAV.DemoProbe.Report";
inline constexpr size_t kReportSize = 64 * 1024;
inline constexpr char kProbeHook[] = "DemoProbeHook";
// What the measure message's WPARAM asks: the texts the windows show, or the text the driver
// left in the report's memory, in place of each caption.
inline constexpr WPARAM kMeasureCaptions = 0;
inline constexpr WPARAM kMeasureGivenText = 1;
