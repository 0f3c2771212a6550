#pragma once
#include <QString>

// The installation paths of a program folder. Folder texts always end with a separator.
struct AppPaths {
    QString AppDir;            // the program folder
    QString DatabaseFile;      // AppDir + "vesk.mdb"
    QString ServerFile;        // AppDir + "server.ini": in team mode, where the database server is
    QString ProTablesDir;      // AppDir + "ProTables/": files of the project library (and the archive's references)
    QString SysTablesDir;      // AppDir + "SysTables/": files of the template library
    QString BlankTableFile;    // AppDir + "Book1.cll"
    QString BlankPackageFile;  // AppDir + "S.mdb"
    QString TempDir;           // AppDir + "Temp/"
    QString TempPackageFile;   // TempDir + "S.mdb"
    QString ReadmeFile;        // AppDir + "Readme.txt"

    // Forms every path from the program folder (made absolute); tests nothing.
    static AppPaths forDir(const QString& dir);

    // Folder of a template's files: SysTablesDir + iDir + "/".
    QString MobanFolderPath(int iDir) const;
    // Folder of a project's files (also those the archive refers to): ProTablesDir + iDir + "/".
    QString ZiLiaoFolderPath(int iDir) const;
};

// The start-up checks of a program folder, in order: the database file (or, in team mode, the server's connection
// file; neither is needed when the database is given elsewhere, by --db), then ProTables, SysTables, the blank table
// file, the blank package file, Temp and the readme. The first missing item fails with its message. Returns the
// paths. The desktop program and the CLI both run it before they open the database.
AppPaths CheckInstallation(const QString& dir, bool databaseElsewhere = false);

// Whether `dir` holds a program folder's database: "vesk.mdb", or in team mode "server.ini".
bool HasProgramDatabase(const QString& dir);

// The program's shared data folder, what every new program folder is made from: "skel/" there is a complete program
// folder with the sample template (made when the program is built). Installed it is <prefix>/share/quelmar beside
// <prefix>/bin; in the build tree build/share/quelmar beside build/src (and build/tests); $QUELMAR_DATA_DIR names
// another. Empty when there is none.
QString InstalledDataDir();
// InstalledDataDir() + "skel/" when it holds a program folder, else empty.
QString InstalledSkeletonFolder();
