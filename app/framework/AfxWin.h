#pragma once
// Everything the program's dialogs and application object use from the framework.

#include "app/framework/Dialog.h"
#include "app/framework/DialogTemplateRegistry.h"
#include "app/framework/DropFiles.h"
#include "app/framework/FileDialog.h"
#include "app/framework/FolderDialog.h"
#include "app/framework/ListBox.h"
#include "app/framework/MessageBox.h"
#include "app/framework/MessageMap.h"
#include "app/framework/ResourceImages.h"
#include "app/framework/Shell.h"
#include "app/framework/WinApp.h"
#include "app/framework/WinThread.h"
#include "app/framework/WinUser.h"
#include "app/framework/Wnd.h"
