// The Shockwave Flash control's class id as text: the one spelling that the
// registry keys, the main dialog's control, the installer and the test
// prefix all use. Plain macros, so that the resource compiler, CMake (for the
// installer) and scripts/lib/wine-env.sh can read it too.
#pragma once

#define QP_FLASH_CLSID_TEXT "{D27CDB6E-AE6D-11CF-96B8-444553540000}"

#define QP_WIDEN_TEXT_(text) L##text
#define QP_WIDEN_TEXT(text) QP_WIDEN_TEXT_(text)
#define QP_FLASH_CLSID_WTEXT QP_WIDEN_TEXT(QP_FLASH_CLSID_TEXT)
// Under HKEY_CLASSES_ROOT.
#define QP_FLASH_CLASS_KEY QP_WIDEN_TEXT("CLSID\\" QP_FLASH_CLSID_TEXT)
#define QP_FLASH_SERVER_KEY QP_WIDEN_TEXT("CLSID\\" QP_FLASH_CLSID_TEXT "\\InprocServer32")
