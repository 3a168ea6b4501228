// Writes the same small podcast through three independent RSS 2.0 writers (the npm
// packages rss, podcast and feed) into the folder named by the first argument.
// Fixed dates, so the output is the same on every run.
const fs = require('fs');
const path = require('path');
const RSS = require('rss');
const { Podcast } = require('podcast');
const { Feed } = require('feed');

const out = process.argv[2];
const site = 'http://example.test/show';
const episodes = [];
for (let i = 1; i <= 10; i++) {
  episodes.push({
    title: `Episode ${i}: Caf\u00e9 \u201cnotes\u201d \u2014 part ${i} & more`,
    description: `<p>Show notes of episode ${i}: caf\u00e9, na\u00efve, 5 \u20ac, \u2018quoted\u2019 &amp; <b>bold</b>.</p>`,
    url: `${site}/episodes/${i}`,
    date: new Date(Date.UTC(2024, 0, i, 9, 30, 0)),
    enclosure: `${site}/audio/episode-${i}.mp3`,
  });
}
episodes.reverse();  // newest first, as feeds list them

// rss: titles and descriptions in CDATA sections, enclosures with url/length/type.
{
  const feed = new RSS({
    title: 'Writers \u2014 the rss package',
    description: 'A show written by the rss package: caf\u00e9 & co.',
    feed_url: `${site}/rss.xml`,
    site_url: site,
    image_url: `${site}/cover.png`,
    pubDate: new Date(Date.UTC(2024, 0, 11)),
    custom_namespaces: { itunes: 'http://www.itunes.com/dtds/podcast-1.0.dtd' },
  });
  for (const e of episodes)
    feed.item({ title: e.title, description: e.description, url: e.url, date: e.date,
                enclosure: { url: e.enclosure, size: 1234, type: 'audio/mpeg' } });
  fs.writeFileSync(path.join(out, 'npm-rss.xml'), feed.xml({ indent: true }));
}

// podcast: the iTunes tags, itunes:image with an href.
{
  const feed = new Podcast({
    title: 'Writers \u2014 the podcast package',
    description: 'A show written by the podcast package.',
    feedUrl: `${site}/podcast.xml`,
    siteUrl: site,
    imageUrl: `${site}/podcast-cover.jpg`,
    author: 'Larkspool tests',
    pubDate: new Date(Date.UTC(2024, 0, 11)),
    itunesImage: `${site}/itunes-cover.jpg`,
  });
  for (const e of episodes)
    feed.addItem({ title: e.title, description: e.description, url: e.url, date: e.date,
                   enclosure: { url: e.enclosure, size: 1234, type: 'audio/mpeg' },
                   itunesDuration: 1234 });
  fs.writeFileSync(path.join(out, 'npm-podcast.xml'), feed.buildXml({ indent: '  ' }));
}

// feed: content:encoded beside the description, an image element.
{
  const feed = new Feed({
    title: 'Writers \u2014 the feed package',
    description: 'A show written by the feed package.',
    id: site,
    link: site,
    image: `${site}/feed-cover.png`,
    copyright: 'none',
    updated: new Date(Date.UTC(2024, 0, 11)),
  });
  for (const e of episodes)
    feed.addItem({ title: e.title, id: e.url, link: e.url, description: 'Short summary.',
                   content: e.description + '<p>The longer content of the item.</p>',
                   date: e.date, enclosure: { url: e.enclosure, length: 1234, type: 'audio/mpeg' } });
  fs.writeFileSync(path.join(out, 'npm-feed.xml'), feed.rss2());
}
