// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HeldFolder.h"

// Each file's open holds its folders itself (see InPlaceFile_msw.cpp).
void HeldFolder::Release()
{
}
