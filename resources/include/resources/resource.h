// Resource identifiers of ExportCVM.dle, shared by the resource script and the code.
#pragma once

// String table
#define IDS_LIBDESCRIPTION 1
#define IDS_CATEGORY 2
#define IDS_CLASS_NAME 3
#define IDS_PARAMS 4
#define IDS_SPIN 5

// Dialog templates
#define IDD_EXPORT_OPTIONS 101
#define IDD_EXPORT_PROGRESS 102

// Controls of the options dialog
#define IDC_EXPORT_NOW 1008
#define IDC_SHOW_WARNINGS 1017
#define IDC_SCALE 1020
#define IDC_CANCEL_EXPORT 1027
#define IDC_EXPORT_NORMALS 1028
#define IDC_PRESERVE_VERTEX_ORDERING 1029
#define IDC_MERGE_VERTICES 1030

// Control of the progress window
#define IDC_PROGRESS_TEXT 1016

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
