// Parses plain-target cards with ical.js, the parser Thunderbird reads vCards with, and compares the formatted
// names and e-mail addresses it finds with the expected ones.
//   node vcard_icaljs_check.mjs ICAL_JS_MODULE CARDS_JSON
// CARDS_JSON lists {file, fn, emails}. Prints one line per difference; the exit status is 1 when there is any.

import { readFileSync } from "node:fs";
import { pathToFileURL } from "node:url";

const [modulePath, cardsPath] = process.argv.slice(2);
const { default: ICAL } = await import(pathToFileURL(modulePath).href);

let failures = 0;
for (const card of JSON.parse(readFileSync(cardsPath, "utf8"))) {
    let fn = null;
    const emails = [];
    try {
        const component = new ICAL.Component(ICAL.parse(readFileSync(card.file, "utf8")));
        if (component.name !== "vcard") throw new Error(`a ${component.name}, not a vcard`);
        fn = component.getFirstPropertyValue("fn");
        for (const email of component.getAllProperties("email")) emails.push(email.getFirstValue());
    } catch (error) {
        console.log(`${card.file}: ical.js cannot parse it: ${error.message}`);
        failures++;
        continue;
    }
    if (fn !== card.fn || JSON.stringify(emails) !== JSON.stringify(card.emails)) {
        console.log(`${card.file}: expected ${JSON.stringify([card.fn, card.emails])}, ` +
                    `ical.js read ${JSON.stringify([fn, emails])}`);
        failures++;
    }
}
process.exit(failures ? 1 : 0);
