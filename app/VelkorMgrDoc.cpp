#include "app/VelkorMgrDoc.h"

namespace orvex {

bool CVelkorMgrDoc::OnNewDocument(bool startupFailed) {
    return !startupFailed;
}

}  // namespace orvex
