// Expands every event of the calendar files named on the command line with ical.js, the parser Thunderbird uses,
// and prints, as JSON by file, each event's summary, start and occurrences (UTC instants, or dates for all-day
// events). Usage: node ical_readers.mjs ICAL_JS_MODULE FILE...
import fs from 'node:fs';
import { pathToFileURL } from 'node:url';

const [modulePath, ...files] = process.argv.slice(2);
const ICAL = (await import(pathToFileURL(modulePath).href)).default;
const kMaxOccurrences = 600;

const text = (t) => (t.isDate ? t.toString() : t.toJSDate().toISOString());
const result = {};
for (const file of files) {
  const calendar = new ICAL.Component(ICAL.parse(fs.readFileSync(file, 'utf8')));
  for (const zone of calendar.getAllSubcomponents('vtimezone')) ICAL.TimezoneService.register(zone);
  result[file] = calendar.getAllSubcomponents('vevent').map((component) => {
    const event = new ICAL.Event(component);
    const occurrences = [];
    if (event.startDate && event.isRecurring()) {
      const iterator = event.iterator();
      for (let next = iterator.next(); next && occurrences.length < kMaxOccurrences; next = iterator.next())
        occurrences.push(text(next));
    }
    return {
      summary: event.summary,
      start: event.startDate ? text(event.startDate) : null,
      recurring: event.isRecurring(),
      occurrences,
    };
  });
}
process.stdout.write(JSON.stringify(result));
