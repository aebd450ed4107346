// Grammar files in the catalogue layout, for the speech tests.
#pragma once
#include <string>

#include "test_util.h"

namespace quorvel::test {

// A whole catalogue grammar (Shift_JIS, CR LF) around the given entry lines.
inline std::string GrammarText(const std::string& entryLines) {
  return "<?xml version=\"1.0\" encoding=\"SHIFT_JIS\"?>\r\n<GRAMMAR>\r\n"
         "  <RULE name=\"Quorvel\" toplevel=\"ACTIVE\">\r\n    <L>\r\n      <P>\r\n"
         "        <RULEREF name=\"TEMMO\"/>\r\n      </P>\r\n    </L>\r\n  </RULE>\r\n"
         "  <RULE name=\"TEMMO\" toplevel=\"INACTIVE\">\r\n   <L propname=\"t\">\r\n" +
         entryLines + "    </L>\r\n    </RULE>\r\n</GRAMMAR>\r\n";
}

// An entry line: <P valstr="value">/name/reading;</P>, name and reading UTF-8.
inline std::string Entry(const std::string& value, const std::string& name,
                         const std::string& reading) {
  return CatalogueLine(value, S("/" + name + "/" + reading + ";"));
}

}  // namespace quorvel::test
