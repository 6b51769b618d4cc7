#include "ImageWindows.h"

TMDIChild1* MDIChild1 = nullptr;
TMDIChild2* MDIChild2 = nullptr;
TMDIChild3* MDIChild3 = nullptr;
