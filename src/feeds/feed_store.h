#pragma once

#include <string>

#include "store/ado_connection.h"
#include "store/sys_data.h"

// The process-wide store object: the database connection, the settings record and the
// start directory under which every data file is found.
class CFeedStore : public CAdoConnection {
public:
    // Captures the current directory as the start directory.
    CFeedStore();
    explicit CFeedStore(std::string startDirectory);
    ~CFeedStore() override;

    CSysData& Settings() { return m_settings; }
    const CSysData& Settings() const { return m_settings; }
    const std::string& StartDirectory() const { return m_startDirectory; }
    // start directory + "/" + relative, e.g. DataPath("data/data.dat").
    std::string DataPath(std::string_view relative) const;

    // Reads data/sysdata.dat into the settings (defaults where it has nothing).
    void LoadSettings();
    // Writes the settings into the existing data/sysdata.dat; never creates it.
    void SaveSettings();

private:
    CSysData m_settings;
    const std::string m_startDirectory;
};

// The one store of the program.
extern CFeedStore theStore;
