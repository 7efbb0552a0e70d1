#pragma once
// Resource ids shared by quickintro.rc and the code. The layout, the cursor
// and the icon are named resources: "TQUICKFORM", "VIDUVIDIVA", "MAINICON".
#define IDR_MANIFEST 1
#define IDV_VERSION 1
