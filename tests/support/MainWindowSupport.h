#pragma once
// For window tests only (needs the program's windows): the services a main window gets over a test's program folder.
#include "app/MainFrm.h"
#include "support/ProgramFolderFixture.h"

inline MainServices MainServicesFor(ProgramFolderFixture& folder, Prompter& prompter, TLoginInfo& login)
{
    MainServices s;
    s.paths = folder.paths();
    s.dm = &folder.dm();
    s.prompter = &prompter;
    s.login = &login;
    return s;
}
