// Prints every table of a database as mdb-reader reads it, one JSON object per
// line: {"table", "columns"} or {"table", "error"}, then {"row"} for each row.
// Dates become {ms: milliseconds since 1970}, binary values {"$binary": base64} as mdb-json writes them, GUIDs their text.
import MDBReader from "mdb-reader";
import { readFileSync } from "fs";

const reader = new MDBReader(readFileSync(process.argv[2]));
const names = reader.getTableNames({ normalTables: true, systemTables: true, linkedTables: false });

function normalise(value) {
  if (value === null || value === undefined) return null;
  if (value instanceof Date) return { ms: value.getTime() };
  if (Buffer.isBuffer(value)) return { $binary: value.toString("base64") };
  return value;
}

for (const name of names) {
  let table;
  let columns;
  try {
    table = reader.getTable(name);
    columns = table.getColumns().map((c) => ({ name: c.name, type: c.type, size: c.size }));
  } catch (error) {
    console.log(JSON.stringify({ table: name, error: String(error.message) }));
    continue;
  }
  console.log(JSON.stringify({ table: name, columns }));
  for (const row of table.getData()) {
    const out = {};
    for (const c of columns) out[c.name] = normalise(row[c.name]);
    console.log(JSON.stringify({ row: out }));
  }
}
