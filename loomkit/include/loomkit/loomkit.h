// The toolkit's exported classes in one include.
#pragma once

#include <loomkit/CvtCode.h>
#include <loomkit/Field.h>
#include <loomkit/FileAssoc.h>
#include <loomkit/Group.h>
#include <loomkit/Marc.h>
#include <loomkit/MarcFile.h>
#include <loomkit/Pinyin.h>
#include <loomkit/RecordText.h>
#include <loomkit/SubField.h>
// The polyphone dialog needs the Qt layer's headers; callers without them get the rest.
#if __has_include(<ui/dialog.h>)
#include <loomkit/PolyphoneDlg.h>
#endif
