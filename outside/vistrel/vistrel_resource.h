// Resource ids of vistrel.dll.
#pragma once

#define IDD_CERTIFICATE 200
#define IDC_FIELDS 2001
#define IDC_FIELD_VALUE 2002
#define IDC_CERTIFICATE_TITLE 2003
