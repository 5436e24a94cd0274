#pragma once

// Resource ids shared by PatchPAV.rc and the code (the resource compiler reads this file too).
#define PATCHPAV_FOLDER_SHEET_BITMAP 101
#define PATCHPAV_FOLDER_SEARCH_BITMAP 102
