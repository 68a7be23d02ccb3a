// Resource IDs of Pontevia.exe (pontevia.rc).
#pragma once

#define IDI_PONTEVIA 1
