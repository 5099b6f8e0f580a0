#pragma once

#include <string>

namespace orvex {

// One personal contact as the device link holds it during a transfer, in the order of the
// contacts table. Texts are Windows-1252 bytes. Group membership travels separately, per group.
struct CContactRecord {
    int iCID = 0;
    int iEIdx = 0;
    std::string strFName;
    std::string strLName;
    std::string strWAddr;
    std::string strWEmail;
    std::string strHEmail;
    int byDefault = 0;  // 0 none, 1 wireless address, 2 work e-mail, 3 home e-mail
    std::string strCompany;
    std::string strHPhone;
    std::string strWPhone;
    std::string strMPhone;
    std::string strFax;
    std::string strStreet;
    std::string strCity;
    std::string strState;
    std::string strZip;
    std::string strNote;
};

}  // namespace orvex
