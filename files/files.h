// Umbrella header of the files library.
#pragma once

#include "toolkit/toolkit.h"
#include "files/stream.h"
#include "files/path.h"
#include "files/pathcompare.h"
#include "files/pathnormal.h"
#include "files/registry.h"
#include "files/fileops.h"
#include "files/copyengine.h"
#include "files/filefind.h"
#include "files/iconcache.h"
#include "files/shellitem.h"
#include "files/shares.h"
#include "files/filetype.h"
#include "files/sysinfo.h"
#include "files/copytree.h"
#include "files/filebrowser.h"
