#pragma once

#include <windows.h>

#include <cstddef>

// What DemoDriver and the probe it hooks into PatchPAV's process agree on.
inline constexpr wchar_t kMeasureMessage[] = L"PatchPAV.DemoProbe.Measure";
inline constexpr wchar_t kReportName[] = L"Local\\PatchPAV.DemoProbe.Report";
inline constexpr size_t kReportSize = 64 * 1024;
inline constexpr char kProbeHook[] = "DemoProbeHook";
